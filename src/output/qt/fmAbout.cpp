#include "output/qt/fmAbout.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include "CorvaneVersion.h"
#include "util/qt/Help.h"

// The icons are compiled into a static library, whose resources a program must ask for.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace corvane {

namespace {

// A label that reports a click, for the web address.
class TLinkLabel : public QLabel {
public:
    TLinkLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
        : QLabel(text, parent), onClick_(std::move(onClick)) {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_();
        QLabel::mouseReleaseEvent(event);
    }

private:
    std::function<void()> onClick_;
};

QLabel* Line(const QString& text, QWidget* parent, bool bold) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    return label;
}

QString YesNo(bool b) {
    return b ? QStringLiteral("True") : QStringLiteral("False");
}

QFrame* Panel(QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    return panel;
}

} // namespace

QStringList ParameterLines(const TAboutParams& p) {
    return {
        QStringLiteral("Running Average (Points2Ave) = ") + QString::number(p.Points2Average),
        QStringLiteral("Sliding Window (MaxAgeSecs) = ") + QString::number(p.MaxAge),
        QStringLiteral("Log Rate (LogRate) = ") + QString::number(p.LogRateSec),
        QStringLiteral("Log Packets (LogPackets) = ") + YesNo(p.LogPackets),
        QStringLiteral("Duplicate Time (DuplicateTime) = ") + QString::number(p.DuplicateTimeSec),
        QStringLiteral("Use CRC for Duplicate Check (DuplicateCRCCheck) = ") +
            YesNo(p.DuplicateCRCCheck),
    };
}

QIcon DrawProgramIcon() {
    QPixmap p(64, 64);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(16, 70, 110));
    g.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    // The mast: a narrow triangle standing on the bottom edge, with its tip as the source.
    g.setBrush(QColor(240, 240, 240));
    QPainterPath mast;
    mast.moveTo(32, 24);
    mast.lineTo(41, 56);
    mast.lineTo(23, 56);
    mast.closeSubpath();
    g.drawPath(mast);
    g.setBrush(QColor(255, 170, 40));
    g.drawEllipse(QPointF(32, 22), 5, 5);
    // Waves on both sides of the tip.
    g.setBrush(Qt::NoBrush);
    g.setPen(QPen(QColor(255, 170, 40), 3.5, Qt::SolidLine, Qt::RoundCap));
    for (int r : {11, 19}) {
        const QRectF box(32 - r, 22 - r, 2 * r, 2 * r);
        g.drawArc(box, -40 * 16, 80 * 16);
        g.drawArc(box, 140 * 16, 80 * 16);
    }
    return QIcon(p);
}

QIcon ProgramIcon() {
    InitIconResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

TfrmAbout::TfrmAbout(const TAboutParams& params, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      OpenUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setWindowTitle("About");
    // Only the main window waits for it, so the help window stays usable beside it.
    setWindowModality(Qt::WindowModal);
    SetHelpContext(this, 26);
    setFixedSize(347, 364);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setFixedSize(33, 33);
    ProgramIcon->setScaledContents(true);
    const QIcon icon = qApp->windowIcon().isNull() ? DrawProgramIcon() : qApp->windowIcon();
    ProgramIcon->setPixmap(icon.pixmap(64, 64));

    QFrame* panel1 = Panel(this);
    panel1->setAutoFillBackground(true);
    Banner = panel1;
    QLabel* name = Line("Corvane", panel1, true);
    QFont big = name->font();
    big.setPixelSize(24);
    name->setFont(big);
    Title = name;
    ColourBanner();
    auto* top = new QVBoxLayout(panel1);
    top->setContentsMargins(6, 4, 6, 4);
    top->setSpacing(0);
    top->addWidget(name);
    top->addWidget(Line("Wireless sensor network monitoring", panel1, false));
    top->addWidget(Line("version " CORVANE_VERSION, panel1, false));

    QFrame* panel2 = Panel(this);
    LBURL = new TLinkLabel(QString::fromLatin1(WebAddress), panel2, [this] { LBURLClick(); });
    LBURL->setAlignment(Qt::AlignHCenter);
    // The desktop's own link colour reads well on its light and its dark panels alike.
    LBURL->setStyleSheet("color: palette(link); font-weight: bold");
    auto* maker = new QVBoxLayout(panel2);
    maker->setContentsMargins(6, 4, 6, 4);
    maker->setSpacing(0);
    maker->addWidget(Line("Corvane Systems Ltd.", panel2, true));
    maker->addWidget(Line("17 Mill Race Road", panel2, true));
    maker->addWidget(Line("Harwick HW3 9QT", panel2, true));
    maker->addWidget(LBURL);

    mParams = new QPlainTextEdit(this);
    mParams->setReadOnly(true);
    mParams->setLineWrapMode(QPlainTextEdit::NoWrap);
    mParams->document()->setDocumentMargin(2);
    QFont small = mParams->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    mParams->setFont(small);
    QStringList lines = ParameterLines(params);
    if (!params.Places.empty())
        lines << QString() << QString::fromStdString(params.Places).split('\n');
    mParams->setPlainText(lines.join('\n'));

    Button1 = new QPushButton("OK", this);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 6, 5, 6);
    layout->setSpacing(4);
    layout->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
    layout->addWidget(panel1);
    layout->addWidget(panel2);
    layout->addWidget(new QLabel("Parameters:", this));
    layout->addWidget(mParams, 1);
    layout->addWidget(Button1, 0, Qt::AlignHCenter);
}

void TfrmAbout::ColourBanner() {
    // Silver with a navy name on a light desktop; on a dark one the same roles from its own
    // palette, as every other window has them, so the banner never glares.
    const QPalette desktop = palette();
    const bool dark = desktop.color(QPalette::Window).lightness() < 128;
    QPalette banner = desktop;
    banner.setColor(QPalette::Window,
                    dark ? desktop.color(QPalette::AlternateBase) : QColor(192, 192, 192));
    banner.setColor(QPalette::WindowText, dark ? desktop.color(QPalette::WindowText) : Qt::black);
    Banner->setPalette(banner);
    QPalette title = banner;
    title.setColor(QPalette::WindowText, dark ? desktop.color(QPalette::Link) : QColor(0, 0, 128));
    Title->setPalette(title);
}

void TfrmAbout::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (Banner && (event->type() == QEvent::PaletteChange ||
                   event->type() == QEvent::ApplicationPaletteChange))
        ColourBanner();
}

void TfrmAbout::LBURLClick() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool opened = OpenUrl(QUrl(LBURL->text()));
    QApplication::restoreOverrideCursor();
    if (!opened)
        QMessageBox::warning(this, "Error", "Cannot Execute Browser! ");
}

} // namespace corvane
