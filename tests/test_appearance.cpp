// The two styles, the main window in either theme (its measure view while playing too), and the About dialog.
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "fake_sound.h"
#include "frmmain_fixture.h"
#include "modal_driver.h"
#include "ui/uPanel.h"
#include "ui/uStyles.h"
#include "ui/uVCLFrmAbout.h"

struct TVCLFrmAboutAccess {
  explicit TVCLFrmAboutAccess(TVCLFrmAbout& d) : d(d) {}
  TVCLFrmAbout& d;
  QWidget* Panel1() { return d.Panel1; }
  QLabel* Image1() { return d.Image1; }
  QLabel* lbAppName() { return d.lbAppName; }
  QLabel* lbURL() { return d.lbURL; }
  QLabel* lbMIRELO() { return d.lbMIRELO; }
  QPushButton* btOK() { return d.btOK; }
  QPlainTextEdit* Memo() { return d.Memo; }
};

namespace {

TEST(Styles, BothLoadWithTheAccentColour) {
  const TColor accent = RGBColor(200, 40, 90);
  const struct {
    const QString& name;
    QColor window, text;
  } cases[] = {{LightStyleName, QColor("#f3f3f3"), QColor("#1b1b1b")},
               {DarkStyleName, QColor("#202020"), QColor("#ffffff")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    const auto style = LoadStyle(c.name, accent);
    ASSERT_TRUE(style);
    EXPECT_EQ(style->palette.color(QPalette::Window), c.window);
    EXPECT_EQ(style->palette.color(QPalette::WindowText), c.text);
    EXPECT_EQ(style->palette.color(QPalette::Highlight), QColor(200, 40, 90));
    EXPECT_NE(style->palette.color(QPalette::Disabled, QPalette::Text), c.text);
    EXPECT_FALSE(style->sheet.contains(u'@' + QStringLiteral("accent")));
    EXPECT_TRUE(style->sheet.contains(QStringLiteral("#c8285a")));
    EXPECT_TRUE(style->sheet.contains(QStringLiteral("border-radius")));
  }
  EXPECT_FALSE(LoadStyle(QStringLiteral("Windows11 Modern Blue"), accent));
}

TEST(Styles, AMissingStyleKeepsTheOneInForce) {
  ASSERT_TRUE(TrySetStyle(LightStyleName, DefaultAccentColor));
  const QString sheet = qApp->styleSheet();
  {
    TModalDriver driver;
    driver.Then([](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->windowTitle(), "エラー");
      EXPECT_EQ(box->text(), "Style 'Windows11 Modern Blue' not found.");
      box->accept();
    });
    EXPECT_FALSE(TrySetStyle(QStringLiteral("Windows11 Modern Blue"), DefaultAccentColor));
  }
  EXPECT_EQ(ActiveStyleName(), LightStyleName);
  EXPECT_EQ(qApp->styleSheet(), sheet);
  EXPECT_FALSE(TrySetStyle(QStringLiteral("Windows11 Modern Blue"), DefaultAccentColor, false));  // no box
  EXPECT_EQ(ActiveStyleName(), LightStyleName);
}

// ---- The main window in either theme ---------------------------------------------------------

class FrmMainTheme : public FrmMain {
 protected:
  void SetUp() override {}
  void TearDown() override { frm.reset(); }
  void OpenIn(bool light, std::uint32_t accent) {
    TFrmMainEnv env{[] { return false; }};
    env.Sound = &sound;
    env.LightTheme = light;
    env.AccentColor = accent;
    Open(std::move(env));
  }
  QColor IconPixel(QPushButton* button) {
    return button->icon().pixmap(QSize(20, 20)).toImage().pixelColor(10, 10);
  }
  TFakeSound sound;
};

TEST_F(FrmMainTheme, Light) {
  OpenIn(true, 0xFF3366CCu);
  EXPECT_EQ(ActiveStyleName(), LightStyleName);
  EXPECT_EQ(a->FGColor(), clBlack);
  EXPECT_EQ(a->BGColor(), clWhite);
  EXPECT_EQ(a->AcColor(), 0x3366CCu);  // the alpha byte dropped
  EXPECT_EQ(IconPixel(a->btStop()), QColor(Qt::black));
  EXPECT_EQ(Pixel(2, 2), Rgb(clWhite));
  EXPECT_EQ(Pixel(NoteX(0), Middle()), Rgb(0x3366CC));
  EXPECT_EQ(Pixel(NoteX(64), Middle() - 15), Rgb(clBlack));
}

TEST_F(FrmMainTheme, Dark) {
  OpenIn(false, 0x7F1E90FFu);
  EXPECT_EQ(ActiveStyleName(), DarkStyleName);
  EXPECT_EQ(a->FGColor(), clWhite);
  EXPECT_EQ(a->BGColor(), clBlack);
  EXPECT_EQ(a->AcColor(), 0x1E90FFu);
  EXPECT_EQ(IconPixel(a->btStop()), QColor(Qt::white));
  EXPECT_EQ(IconPixel(a->btItemAdd()).alpha(), 0);  // the bookmark's notch: the ground shows through
  EXPECT_EQ(Pixel(2, 2), Rgb(clBlack));
  EXPECT_EQ(Pixel(NoteX(16), Middle()), Rgb(0x1E90FF));
  EXPECT_EQ(Pixel(NoteX(64), Middle() - 15), Rgb(clWhite));
  EXPECT_EQ(frm->palette().color(QPalette::Window), QColor("#202020"));
  // The playhead in the foreground colour.
  QTest::mouseClick(a->btStart(), Qt::LeftButton);
  sound.now += 500;
  a->Timer1Timer();
  EXPECT_EQ(ShownMeasure().pixel(NoteX(16) + 1, 5) & 0xFFFFFF, Rgb(clWhite));
}

// ---- The measure view while playing -----------------------------------------------------------

// The areas of the paint events a widget got.
struct TPaintLog : QObject {
  QRegion painted;
  int events = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++events;
      painted |= static_cast<QPaintEvent*>(e)->region();
    }
    return false;
  }
};

class FrmMainPlayhead : public FrmMainTheme {
 protected:
  // What the window showed before the playhead left the picture: the measure, and the
  // playhead painted into the same bitmap.
  QImage Before(std::optional<std::int64_t> s) {
    QImage img = PaintMeasure(a->Image1()->width(), a->Image1()->height(), a->Image1()->devicePixelRatioF(),
                              a->TSCount(), a->Notes(), a->NotesIndex(), {a->FGColor(), a->BGColor(), a->AcColor()});
    if (s) PaintPlayhead(img, a->TSCount(), *s, a->FGColor());
    return img.convertToFormat(QImage::Format_RGB32);
  }
  QRegion Strip(std::int64_t s) {
    return QRegion(NoteX(static_cast<int>(s)) - 1, 0, PlayheadWidth, a->Image1()->height());
  }
  // 4/4 at 120 BPM: 64 sixteenths in 2000 ms.
  static std::int64_t Heard(std::uint32_t ms) { return ms * 64 / 2000 % 64; }
};

TEST_F(FrmMainPlayhead, TicksRepaintOnlyThePlayheadAndShowWhatTheyShowedBeforeInEitherTheme) {
  for (const bool light : {true, false}) {
    SCOPED_TRACE(light ? "light" : "dark");
    frm.reset();
    sound = TFakeSound{};
    OpenIn(light, 0xFF3366CCu);
    QTest::mouseClick(a->btStart(), Qt::LeftButton);
    ASSERT_FALSE(a->Image1()->hasFocus());  // else the focus mark shows over both
    const std::uint32_t start = sound.now;
    a->Timer1Timer();
    ASSERT_TRUE(SamePixels(ShownMeasure(), Before(0)));
    TPaintLog log;
    a->Image1()->installEventFilter(&log);
    const qint64 measure = a->Image1()->Picture().cacheKey();
    std::int64_t last = 0;
    for (const std::uint32_t ms : {10u, 40u, 100u, 101u, 700u, 1999u, 2000u, 2500u}) {
      SCOPED_TRACE(ms);
      sound.now = start + ms;
      log.painted = QRegion();
      log.events = 0;
      a->Timer1Timer();
      const std::int64_t s = Heard(ms);
      const QImage shown = ShownMeasure();
      // Only the rectangle around where the playhead was and is, and nothing when it stays.
      if (s == last) {
        EXPECT_EQ(log.events, 0);
      } else {
        EXPECT_EQ(log.events, 1);
        EXPECT_EQ(log.painted, QRegion((Strip(last) | Strip(s)).boundingRect()));
      }
      EXPECT_TRUE(SamePixels(shown, Before(s)));
      last = s;
    }
    EXPECT_EQ(a->Image1()->Picture().cacheKey(), measure);  // the measure was painted once

    // Stop wipes the playhead.
    QTest::mouseClick(a->btStop(), Qt::LeftButton);
    EXPECT_TRUE(SamePixels(ShownMeasure(), Before(std::nullopt)));
  }
}

TEST_F(FrmMainPlayhead, AHiddenWindowPaintsNothingWhilePlaying) {
  OpenIn(true, FallbackAccentColor);
  QTest::mouseClick(a->btStart(), Qt::LeftButton);
  a->Timer1Timer();
  TPaintLog log;
  a->Image1()->installEventFilter(&log);
  const qint64 measure = a->Image1()->Picture().cacheKey();
  frm->hide();
  const std::uint32_t start = sound.now;
  for (std::uint32_t ms = 0; ms < 500; ms += 31) {
    sound.now = start + ms;
    a->Timer1Timer();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(log.events, 0);
  EXPECT_EQ(a->Image1()->Picture().cacheKey(), measure);
  // Shown again, it shows the playhead where the last tick put it.
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  EXPECT_TRUE(SamePixels(ShownMeasure(), Before(Heard(sound.now - start))));
}

TEST_F(FrmMainPlayhead, ATickShowsAChangeThatRepaintedNothingOfItsOwn) {
  OpenIn(true, FallbackAccentColor);
  QTest::mouseClick(a->btStart(), Qt::LeftButton);
  sound.now += 250;
  a->Timer1Timer();
  // A press selects the note under it; the view is repainted at the move or the release.
  Press(NoteX(16), Middle());
  ASSERT_EQ(a->NotesIndex(), 1);
  EXPECT_EQ(ShownMeasure().pixel(NoteX(16), Middle() - 10) & 0xFFFFFF, Rgb(FallbackAccentColor));  // thin outline
  // While playing, the next tick shows it, as it did when every tick drew the whole view.
  a->Timer1Timer();
  ASSERT_TRUE(a->Image1()->hasFocus());  // taken by the press: its mark is drawn over the edge
  const int m = TImage::FocusMarkWidth;
  const QRect inside = a->Image1()->rect().adjusted(m, m, -m, -m);
  EXPECT_TRUE(SamePixels(ShownMeasure().copy(inside), Before(Heard(250)).copy(inside)));
  EXPECT_EQ(ShownMeasure().pixel(NoteX(16), Middle() - 10) & 0xFFFFFF, Rgb(clBlack));  // thick outline
  Release(NoteX(16), Middle());
}

TEST_F(FrmMainTheme, AboutButtonOpensTheDialog) {
  OpenIn(true, FallbackAccentColor);
  TVCLFrmAbout about(frm.get(), TVCLFrmAboutEnv{});
  frm->AttachAbout(&about);
  {
    TModalDriver driver;
    driver.Then([&](QWidget* w) {
      EXPECT_EQ(w, &about);
      EXPECT_EQ(w->windowTitle(), "About");
      // The first time, in the middle of the main window.
      EXPECT_LE((w->frameGeometry().center() - frm->frameGeometry().center()).manhattanLength(), 1);
      TVCLFrmAboutAccess(about).btOK()->click();
    });
    QTest::mouseClick(a->btAbout(), Qt::LeftButton);
  }
  EXPECT_FALSE(about.isVisible());
}

// ---- The About dialog -------------------------------------------------------------------------

class VCLFrmAbout : public testing::Test {
 protected:
  // Opens the dialog, checks it while it shows, closes it.
  void Open(const std::function<void(TVCLFrmAboutAccess&)>& check) {
    TModalDriver driver;
    driver.Then([&](QWidget*) {
      TVCLFrmAboutAccess access(*about);
      check(access);
      access.btOK()->click();
    });
    about->Execute();
  }
  void Make(TVCLFrmAboutEnv env) { about = std::make_unique<TVCLFrmAbout>(nullptr, std::move(env)); }

  std::unique_ptr<TVCLFrmAbout> about;
};

QStringList Lines(QPlainTextEdit* memo) { return memo->toPlainText().split(u'\n'); }

TEST_F(VCLFrmAbout, LayoutAndContent) {
  Make(TVCLFrmAboutEnv{[] { return false; }, [] { return true; }, [] { return FallbackAccentColor; },
                       [] { return std::string("1.9.8312.36963"); }});
  Open([](TVCLFrmAboutAccess& a) {
    EXPECT_EQ(a.d.size(), QSize(451, 201));
    EXPECT_EQ(a.d.minimumSize(), a.d.maximumSize());  // a fixed border
    EXPECT_EQ(a.Panel1()->geometry(), QRect(0, 0, 451, 60));
    EXPECT_EQ(a.Image1()->geometry(), QRect(0, 0, 60, 60));
    EXPECT_FALSE(a.Image1()->pixmap().isNull());
    EXPECT_EQ(a.Image1()->pixmap().size(), QSize(60, 60));
    EXPECT_EQ(a.lbAppName()->pos(), QPoint(80, 0));
    EXPECT_TRUE(a.lbAppName()->font().bold());
    EXPECT_EQ(a.lbAppName()->text(), "TAKTOLA Ver.1.9.8312.36963");
    EXPECT_EQ(a.lbURL()->pos(), QPoint(80, 22));
    EXPECT_EQ(a.lbURL()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(a.lbMIRELO()->text(), "MIRELO PROJECT");
    EXPECT_NEAR(a.lbMIRELO()->x() + a.lbMIRELO()->width() / 2.0, 182 + 88 / 2, 1);  // centred as designed
    EXPECT_GE(a.lbMIRELO()->width(), a.lbMIRELO()->fontMetrics().horizontalAdvance("MIRELO PROJECT"));
    EXPECT_EQ(a.btOK()->geometry(), QRect(0, 171, 451, 30));
    EXPECT_EQ(a.btOK()->text(), "OK");
    EXPECT_EQ(a.Memo()->geometry(), QRect(0, 102, 443, 63));
    EXPECT_TRUE(a.Memo()->isReadOnly());
    EXPECT_EQ(StyleName(&a.d), LightStyleName);
  });
}

TEST_F(VCLFrmAbout, EveryOpeningFillsItAfresh) {
  bool japanese = false;
  Make(TVCLFrmAboutEnv{[&] { return japanese; }, [] { return true; }, [] { return FallbackAccentColor; },
                       [] { return std::string("1.0.0.0"); }});
  QStringList first;
  for (int opening = 0; opening < 3; ++opening) {
    japanese = opening == 1;
    Open([&](TVCLFrmAboutAccess& a) {
      const QStringList lines = Lines(a.Memo());
      ASSERT_EQ(lines.size(), 2) << opening;
      EXPECT_EQ(a.lbURL()->text(), japanese ? ProductPageJapanese : ProductPageEnglish);
      EXPECT_EQ(lines[0].contains(QStringLiteral("音声")), japanese);
      if (opening == 0) first = lines;
      EXPECT_EQ(lines[1], first[1]);  // the second line is English in both
    });
  }
  EXPECT_TRUE(first[0].contains(QStringLiteral("eSpeak NG")));
  EXPECT_TRUE(first[1].contains(QStringLiteral("GNU General Public License")));
}

TEST_F(VCLFrmAbout, LinkColourFollowsTheTheme) {
  bool light = true;
  Make(TVCLFrmAboutEnv{[] { return false; }, [&] { return light; }, [] { return FallbackAccentColor; },
                       [] { return std::string("1.0.0.0"); }});
  const auto linkColor = [](TVCLFrmAboutAccess& a) {
    a.lbURL()->ensurePolished();
    return a.lbURL()->palette().color(QPalette::WindowText);
  };
  Open([&](TVCLFrmAboutAccess& a) {
    EXPECT_EQ(linkColor(a), QColor(0, 0, 255));
    EXPECT_EQ(StyleName(&a.d), LightStyleName);
  });
  light = false;
  Open([&](TVCLFrmAboutAccess& a) {
    EXPECT_EQ(linkColor(a), QColor(170, 170, 255));
    EXPECT_EQ(StyleName(&a.d), DarkStyleName);
  });
}

TEST_F(VCLFrmAbout, NameWithoutAVersion) {
  Make(TVCLFrmAboutEnv{[] { return false; }, [] { return true; }, [] { return FallbackAccentColor; },
                       [] { return std::string(); }});
  Open([](TVCLFrmAboutAccess& a) { EXPECT_EQ(a.lbAppName()->text(), "TAKTOLA Ver."); });
}

class TUrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void Open(const QUrl& url) { urls << url; }
};

TEST_F(VCLFrmAbout, ClickingTheLinkOpensItsPage) {
  TUrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
  Make(TVCLFrmAboutEnv{[] { return true; }, [] { return true; }, [] { return FallbackAccentColor; },
                       [] { return std::string("1.0.0.0"); }});
  Open([](TVCLFrmAboutAccess& a) { QTest::mouseClick(a.lbURL(), Qt::LeftButton, {}, QPoint(5, 5)); });
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(catcher.urls.size(), 1);
  EXPECT_EQ(catcher.urls[0], QUrl(QString::fromLatin1(ProductPageJapanese)));
}

TEST(LoadPngResource, OnlyPngPicturesAreLoaded) {
  QImage target(3, 3, QImage::Format_RGB32);
  target.fill(Qt::red);
  EXPECT_FALSE(LoadPngResource("NO_SUCH_RESOURCE", target));
  EXPECT_FALSE(LoadPngResource("EN_NUM0_01", target));  // a recording, not a picture
  EXPECT_EQ(target.size(), QSize(3, 3));
  EXPECT_EQ(target.pixelColor(1, 1), QColor(Qt::red));
  ASSERT_TRUE(LoadPngResource("ABOUT_ICN60", target));
  EXPECT_EQ(target.size(), QSize(60, 60));
  EXPECT_FALSE(target.hasAlphaChannel());
}

TEST(GetAppVersion, FourNumbersOfTheBuild) {
  EXPECT_EQ(GetAppVersion(), TAKTOLA_VERSION);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"))
                  .match(QString::fromStdString(GetAppVersion()))
                  .hasMatch());
}

}  // namespace

#include "test_appearance.moc"
