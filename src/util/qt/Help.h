// The user's guide: an HTML document beside the program (help/Corvane.html) with one topic per
// help context number, shown in a help window of the program. F1 anywhere opens the topic of the
// highlighted menu entry or of the focused control (or the nearest parent that has one).
#pragma once

#include <QMap>
#include <QString>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QSplitter;
class QTextBrowser;

namespace corvane {

// Help contexts are kept as the property "helpContext" of widgets, menus and menu entries.
void SetHelpContext(QObject* object, int context);
// The context of the object or of its nearest parent that has one; 0 when none has.
int HelpContextOf(const QObject* object);

// The help document's path for the program's folder.
QString HelpFileFor(const QString& programFolder);

class TfrmHelp : public QWidget {
    Q_OBJECT
public:
    explicit TfrmHelp(QWidget* parent = nullptr);

    void SetHelpFile(const QString& path);
    const QString& HelpFile() const { return file_; }

    void ShowContents();
    void ShowTopic(int context);
    // The keyword index with its search box, nothing typed yet.
    void ShowTopicSearch();

    // Keyword (lower case) -> context, read from the document.
    const QMap<QString, int>& Keywords() const { return keywords_; }
    // The context that F1 would open now; 0 when nothing has one.
    static int ContextForF1();

    QTextBrowser* Browser() const { return browser_; }
    QLineEdit* SearchBox() const { return search_; }
    QListWidget* KeywordList() const { return list_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Load();
    void FillKeywordList(const QString& filter);
    void KeywordChosen(QListWidgetItem* item);
    void Present(const QString& anchor);

    QString file_;
    bool loaded_ = false;
    QMap<QString, int> keywords_;
    QMap<QString, QString> shown_; // keyword as written in the guide
    QSplitter* splitter_;
    QWidget* indexPane_;
    QLineEdit* search_;
    QListWidget* list_;
    QTextBrowser* browser_;
};

} // namespace corvane
