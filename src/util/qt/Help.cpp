#include "util/qt/Help.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace corvane {

namespace {
const char* const HelpContextProperty = "helpContext";

QString TopicAnchor(int context) {
    return QStringLiteral("ctx%1").arg(context);
}
} // namespace

void SetHelpContext(QObject* object, int context) {
    object->setProperty(HelpContextProperty, context);
}

int HelpContextOf(const QObject* object) {
    for (; object; object = object->parent()) {
        const QVariant v = object->property(HelpContextProperty);
        if (v.isValid() && v.toInt() != 0)
            return v.toInt();
    }
    return 0;
}

QString HelpFileFor(const QString& programFolder) {
    return QDir(programFolder).filePath("help/Corvane.html");
}

TfrmHelp::TfrmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmHelp");
    setWindowTitle("Corvane Help");
    resize(760, 540);

    indexPane_ = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPane_);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel("Type a word to look for:");
    search_ = new QLineEdit;
    search_->setObjectName("edtSearch");
    search_->setClearButtonEnabled(true);
    list_ = new QListWidget;
    list_->setObjectName("lstKeywords");
    label->setBuddy(search_);
    indexLayout->addWidget(label);
    indexLayout->addWidget(search_);
    indexLayout->addWidget(list_);

    browser_ = new QTextBrowser;
    browser_->setObjectName("txtTopic");
    browser_->setOpenLinks(true);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->addWidget(indexPane_);
    splitter_->addWidget(browser_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({220, 540});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter_);

    connect(search_, &QLineEdit::textChanged, this, &TfrmHelp::FillKeywordList);
    connect(search_, &QLineEdit::returnPressed, this, [this] {
        if (list_->count() > 0)
            KeywordChosen(list_->item(0));
    });
    connect(list_, &QListWidget::itemActivated, this, &TfrmHelp::KeywordChosen);
    connect(list_, &QListWidget::itemClicked, this, &TfrmHelp::KeywordChosen);

    qApp->installEventFilter(this);
}

void TfrmHelp::SetHelpFile(const QString& path) {
    file_ = path;
    loaded_ = false;
}

void TfrmHelp::Load() {
    if (loaded_)
        return;
    loaded_ = true;
    keywords_.clear();
    shown_.clear();
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly)) {
        browser_->setHtml(
            QStringLiteral("<p>The user's guide %1 was not found.</p>").arg(file_.toHtmlEscaped()));
        return;
    }
    const QString html = QString::fromUtf8(file.readAll());
    browser_->setSource(QUrl::fromLocalFile(file_));
    // Each topic starts with its anchor and names its index keywords in a comment after it.
    static const QRegularExpression topic(
        QStringLiteral(R"re(<a (?:name|id)="ctx(\d+)"[^>]*>.*?<!--\s*keywords:(.*?)-->)re"),
        QRegularExpression::DotMatchesEverythingOption);
    for (auto it = topic.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const int context = m.captured(1).toInt();
        for (const QString& word : m.captured(2).split(';', Qt::SkipEmptyParts))
            if (!word.trimmed().isEmpty()) {
                keywords_.insert(word.trimmed().toLower(), context);
                shown_.insert(word.trimmed().toLower(), word.trimmed());
            }
    }
    FillKeywordList(search_->text());
}

void TfrmHelp::FillKeywordList(const QString& filter) {
    list_->clear();
    const QString key = filter.trimmed().toLower();
    for (auto it = keywords_.cbegin(); it != keywords_.cend(); ++it)
        if (key.isEmpty() || it.key().contains(key)) {
            auto* item = new QListWidgetItem(shown_.value(it.key()), list_);
            item->setData(Qt::UserRole, it.value());
        }
    if (list_->count() > 0)
        list_->setCurrentRow(0);
}

void TfrmHelp::KeywordChosen(QListWidgetItem* item) {
    if (item)
        Present(TopicAnchor(item->data(Qt::UserRole).toInt()));
}

void TfrmHelp::Present(const QString& anchor) {
    Load();
    if (keywords_.isEmpty() && !QFile::exists(file_)) {
        // The page that says the guide is missing stays.
    } else if (anchor.isEmpty()) {
        browser_->setSource(QUrl::fromLocalFile(file_));
        browser_->scrollToAnchor("contents");
    } else {
        browser_->scrollToAnchor(anchor);
    }
    show();
    raise();
    activateWindow();
    // Hiding or showing the keyword index, and showing the window, change the browser's width
    // only once the layout has run; the page is laid out anew then, and the topic's heading
    // moves. Scrolling once more after that lands on it.
    if (!anchor.isEmpty())
        QMetaObject::invokeMethod(
            browser_, [this, anchor] { browser_->scrollToAnchor(anchor); }, Qt::QueuedConnection);
}

void TfrmHelp::ShowContents() {
    indexPane_->hide();
    Present(QString());
}

void TfrmHelp::ShowTopic(int context) {
    indexPane_->hide();
    Present(context > 0 ? TopicAnchor(context) : QString());
}

void TfrmHelp::ShowTopicSearch() {
    Load();
    indexPane_->show();
    search_->clear();
    FillKeywordList(QString());
    Present(QString());
    search_->setFocus();
}

int TfrmHelp::ContextForF1() {
    // A highlighted menu entry wins over the control that had the focus before the menu opened.
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        if (QAction* action = menu->activeAction())
            if (const int context = HelpContextOf(action))
                return context;
        if (const int context = HelpContextOf(menu->menuAction()))
            return context;
    }
    if (QWidget* focus = QApplication::focusWidget())
        return HelpContextOf(focus);
    if (QWidget* active = QApplication::activeWindow())
        return HelpContextOf(active);
    return 0;
}

bool TfrmHelp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
        watched->isWidgetType()) {
        const int context = ContextForF1();
        // The help window must not open behind a menu.
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        ShowTopic(context);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace corvane
