// Timing probes for bench/compare_peer.sh, which runs a metronome under Xvfb and a PulseAudio
// null sink. Both probes take their times from CLOCK_MONOTONIC, so the figures of two
// programs are taken the same way.
//
//   peer_probe launch TIMEOUT_MS LOGFILE PIDFILE -- PROGRAM [ARGS...]
//     Starts PROGRAM (its output to LOGFILE, its process id at once to PIDFILE, so the caller
//     can end it whatever becomes of the probe) and waits until it maps a top-level window.
//     Prints "PID WINDOW MS": the time from just before exec to the MapNotify, or window 0 and
//     -1 when none came in time. PROGRAM goes on running after the probe exits.
//
//   peer_probe firstsound SOURCE WINDOW X Y TIMEOUT_MS
//     Records SOURCE (the null sink's monitor), clicks the window at client position X,Y
//     through XTEST and prints "FIRST_MS INTERVAL_MS": the time from the button press to the
//     first record fragment holding a sample that is not silent, and the time between the
//     first two sounds (a check of the tempo); -1 for what was not found in time.
//
// Build: cc -O2 -o peer_probe peer_probe.c -lX11 -lXtst -lpulse-simple -lpulse
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double NowMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static long WindowPid(Display* dpy, Window w) {
  Atom atom = XInternAtom(dpy, "_NET_WM_PID", True);
  if (atom == None) return -1;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = NULL;
  long pid = -1;
  if (XGetWindowProperty(dpy, w, atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
      data != NULL && count == 1 && format == 32)
    pid = (long)*(unsigned long*)data;
  if (data != NULL) XFree(data);
  return pid;
}

static int Launch(int argc, char** argv) {
  if (argc < 6 || strcmp(argv[4], "--") != 0)
    return fprintf(stderr, "usage: launch TIMEOUT_MS LOGFILE PIDFILE -- PROGRAM...\n"), 64;
  const double timeout = atof(argv[1]);
  Display* dpy = XOpenDisplay(NULL);
  if (dpy == NULL) return fprintf(stderr, "no display\n"), 1;
  const Window root = DefaultRootWindow(dpy);
  // Without a window manager the program's top-level windows are the root's children: their
  // mapping is reported to whoever listens on the root.
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, False);
  const double t0 = NowMs();
  const pid_t pid = fork();
  if (pid < 0) return perror("fork"), 1;
  if (pid == 0) {
    const int fd = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
      close(fd);
    }
    close(ConnectionNumber(dpy));
    execvp(argv[5], argv + 5);
    _exit(127);
  }
  FILE* pidfile = fopen(argv[3], "w");
  if (pidfile != NULL) {
    fprintf(pidfile, "%d\n", (int)pid);
    fclose(pidfile);
  }
  const int xfd = ConnectionNumber(dpy);
  for (;;) {
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type != MapNotify || ev.xmap.override_redirect) continue;
      // Nothing else runs on this display; a window without the property is taken too.
      const long owner = WindowPid(dpy, ev.xmap.window);
      if (owner != -1 && owner != pid) continue;
      printf("%d %lu %.1f\n", (int)pid, (unsigned long)ev.xmap.window, NowMs() - t0);
      return 0;
    }
    int status;
    if (waitpid(pid, &status, WNOHANG) == pid) return fprintf(stderr, "the program exited before it mapped a window\n"), 3;
    const double left = timeout - (NowMs() - t0);
    if (left <= 0) {
      printf("%d 0 -1\n", (int)pid);
      return 2;
    }
    struct pollfd p = {xfd, POLLIN, 0};
    poll(&p, 1, left < 50 ? (int)left + 1 : 50);
  }
}

// Recording in fragments of 2 ms: a sample's fragment arrives about when the server mixed it.
enum { Fragment = 88 };

static int FirstSound(int argc, char** argv) {
  if (argc < 6) return fprintf(stderr, "usage: firstsound SOURCE WINDOW X Y TIMEOUT_MS\n"), 64;
  const char* source = argv[1];
  const Window window = strtoul(argv[2], NULL, 0);
  const int x = atoi(argv[3]), y = atoi(argv[4]);
  const double timeout = atof(argv[5]);
  const int threshold = 64;  // the null sink's silence is exact zeros
  const double gapMs = 60;   // silence that separates two sounds

  Display* dpy = XOpenDisplay(NULL);
  if (dpy == NULL) return fprintf(stderr, "no display\n"), 1;
  int ax, ay;
  Window child;
  if (!XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), x, y, &ax, &ay, &child))
    return fprintf(stderr, "no such window\n"), 1;

  const pa_sample_spec spec = {PA_SAMPLE_S16LE, 44100, 1};
  pa_buffer_attr attr;
  memset(&attr, 0xff, sizeof attr);
  attr.fragsize = Fragment * 2;
  int error = 0;
  pa_simple* rec = pa_simple_new(NULL, "peer_probe", PA_STREAM_RECORD, source, "monitor", &spec, NULL, &attr, &error);
  if (rec == NULL) return fprintf(stderr, "record: %s\n", pa_strerror(error)), 1;

  int16_t buf[Fragment];
  // Settle the recording, with the pointer already over the button.
  XTestFakeMotionEvent(dpy, -1, ax, ay, 0);
  XSync(dpy, False);
  for (double until = NowMs() + 300; NowMs() < until;)
    if (pa_simple_read(rec, buf, sizeof buf, &error) < 0) return fprintf(stderr, "read: %s\n", pa_strerror(error)), 1;

  const double click = NowMs();
  XTestFakeButtonEvent(dpy, 1, True, 0);
  XTestFakeButtonEvent(dpy, 1, False, 0);
  XSync(dpy, False);

  double first = -1, interval = -1;
  uint64_t index = 0, firstAt = 0, lastLoud = 0;
  const uint64_t gap = (uint64_t)(gapMs * 44.1);
  for (;;) {
    if (pa_simple_read(rec, buf, sizeof buf, &error) < 0) return fprintf(stderr, "read: %s\n", pa_strerror(error)), 1;
    const double arrived = NowMs();
    for (int i = 0; i < Fragment; ++i, ++index) {
      if (abs(buf[i]) <= threshold) continue;
      if (first < 0) {
        first = arrived - click;
        firstAt = index;
      } else if (index - lastLoud > gap) {
        interval = (double)(index - firstAt) / 44.1;
        break;
      }
      lastLoud = index;
    }
    if (interval >= 0) break;
    if (first < 0 && arrived - click > timeout) break;
    if (first >= 0 && (double)(index - firstAt) / 44.1 > 2000) break;
  }
  printf("%.1f %.1f\n", first, interval);
  pa_simple_free(rec);
  XCloseDisplay(dpy);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 2 && strcmp(argv[1], "launch") == 0) return Launch(argc - 1, argv + 1);
  if (argc >= 2 && strcmp(argv[1], "firstsound") == 0) return FirstSound(argc - 1, argv + 1);
  fprintf(stderr, "usage: peer_probe launch|firstsound ...\n");
  return 64;
}
