#include "ui/uVCLFrmAbout.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/uPanel.h"
#include "ui/uStdDialogs.h"
#include "ui/uStyles.h"

namespace {

constexpr QSize ClientSize(451, 201);
constexpr int HeaderHeight = 60;
constexpr int ButtonHeight = 30;

// The credit for the voice material, by language, and for the voice data it came from.
const char* const VoiceCreditEnglish = "Spoken counts: made with the eSpeak NG speech synthesizer.";
const char* const VoiceCreditJapanese = "音声素材: 音声合成ソフトウェア eSpeak NG で作成しました。";
const char* const VoiceDataCredit =
    "eSpeak NG voice data by Jonathan Duddington, Reece H. Dunn and contributors, "
    "https://github.com/espeak-ng/espeak-ng, used under the GNU General Public License v3 or later.";

// A label that reports a click, for the link.
class TLinkLabel : public QLabel {
 public:
  std::function<void()> onClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick) onClick();
  }
};

}  // namespace

TVCLFrmAbout::TVCLFrmAbout(QWidget* parent, TVCLFrmAboutEnv env) : QDialog(parent), Env(std::move(env)) {
  setWindowTitle(QStringLiteral("About"));
  // A fixed dialog border: no minimise or maximise box, no resizing.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(ClientSize);
  setAutoFillBackground(true);

  Panel1 = new TPanel(this, QSize(ClientSize.width(), HeaderHeight));
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, 0, ClientSize.width(), HeaderHeight);
  Image1 = new QLabel;
  lbAppName = new QLabel;
  QFont bold = font();
  bold.setBold(true);
  lbAppName->setFont(bold);
  auto* link = new TLinkLabel;
  link->onClick = [this] { Guarded([&] { lbURLClick(); }); };
  lbURL = link;
  lbURL->setCursor(Qt::PointingHandCursor);
  lbMIRELO = new QLabel(QStringLiteral("MIRELO PROJECT"));
  lbMIRELO->setAlignment(Qt::AlignCenter);
  Panel1->Place(Image1, {0, 0, 60, 60});
  Panel1->Place(lbAppName, {80, 0, 1, 15});
  Panel1->Place(lbURL, {80, 22, 220, 15});
  // Centred where designed, as wide as its text needs in the font at hand.
  const int mireloWidth = std::max(88, lbMIRELO->fontMetrics().horizontalAdvance(lbMIRELO->text()) + 2);
  Panel1->Place(lbMIRELO, {182 + 44 - mireloWidth / 2, 43, mireloWidth, 15});

  btOK = new QPushButton(QStringLiteral("OK"), this);
  btOK->setGeometry(0, ClientSize.height() - ButtonHeight, ClientSize.width(), ButtonHeight);
  btOK->setDefault(true);
  connect(btOK, &QPushButton::clicked, this, &QDialog::accept);

  Memo = new QPlainTextEdit(this);
  Memo->setReadOnly(true);
  Memo->setGeometry(0, 102, 443, 63);
  Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  setTabOrder(Panel1, btOK);
  setTabOrder(btOK, Memo);
}

void TVCLFrmAbout::Execute() {
  QImage emblem;
  if (LoadPngResource("ABOUT_ICN60", emblem)) Image1->setPixmap(QPixmap::fromImage(emblem));

  const bool light = Env.IsLightTheme();
  TrySetStyle(this, light ? LightStyleName : DarkStyleName, Env.AccentColor() & 0xFFFFFF);
  // The header keeps its own colour, and the link its own blue, whatever the style.
  const QColor header = light ? QColor(240, 240, 240) : QColor(43, 43, 43);
  const QColor page = light ? QColor(Qt::white) : QColor(32, 32, 32);
  const QColor linkColor = light ? QColor(0, 0, 255) : QColor(170, 170, 255);
  setStyleSheet(styleSheet() + QStringLiteral("\nTVCLFrmAbout { background: %1; }\nQFrame#Panel1 { background: %2; }")
                                   .arg(page.name(), header.name()));
  lbURL->setStyleSheet(QStringLiteral("color: %1;").arg(linkColor.name()));

  Memo->clear();
  const bool japanese = Env.IsJapanese();
  SetLabelText(lbURL, QString::fromLatin1(japanese ? ProductPageJapanese : ProductPageEnglish));
  Memo->appendPlainText(QString::fromUtf8(japanese ? VoiceCreditJapanese : VoiceCreditEnglish));
  Memo->appendPlainText(QString::fromUtf8(VoiceDataCredit));
  Memo->moveCursor(QTextCursor::Start);  // the credits are read from the first line
  SetLabelText(lbAppName, QStringLiteral("TAKTOLA Ver.") + QString::fromStdString(Env.AppVersion()));

  if (!FShownOnce && parentWidget() != nullptr) {
    // Centred on the main window the first time; afterwards where it was last closed.
    FShownOnce = true;
    winId();  // where the system frames windows, the frame is known from here on
    move(pos() + parentWidget()->frameGeometry().center() - frameGeometry().center());
    setAttribute(Qt::WA_Moved);
  }
  exec();
}

void TVCLFrmAbout::lbURLClick() { OpenURL(lbURL->text().toStdString()); }
