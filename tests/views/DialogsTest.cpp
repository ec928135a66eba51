#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/Monitor.h"
#include "output/qt/fmAbout.h"
#include "output/qt/fmExport.h"
#include "output/qt/fmSelectEntry.h"
#include "util/qt/ErrorReport.h"

using namespace corvane;

namespace {

// Runs act on the next modal window other than except, from inside that window's own loop.
void OnNextModal(std::function<void(QWidget*)> act, QWidget* except = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act, except] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == except)
            return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    timer->start();
}

struct TShownMessage {
    std::string Title, Text;
};

// Closes the next message box, keeping its caption and text.
void CloseNextMessage(TShownMessage& shown, QWidget* except = nullptr) {
    OnNextModal(
        [&shown](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            shown = {box->windowTitle().toStdString(), box->text().toStdString()};
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            box->accept();
        },
        except);
}

class Export : public ::testing::Test {
protected:
    TManualClock clock;
    TNullListener listener;
    std::unique_ptr<TStore> store = TStore::Create(clock, listener);
    TfrmExport form{*store};
    QTemporaryDir dir;
    std::vector<QString> offeredFolders;
    QString answer;

    void SetUp() override {
        TfrmExport::SetLastFolder({});
        form.ChooseFile = [this](QWidget*, const QString& folder) {
            offeredFolders.push_back(folder);
            return answer;
        };
    }
    void Check(int field, bool on) {
        form.lvInclude->topLevelItem(field)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
};

TEST_F(Export, StartsWithAllNineFieldsChecked) {
    ASSERT_EQ(form.lvInclude->topLevelItemCount(), 9);
    EXPECT_EQ(form.lvInclude->topLevelItem(0)->text(0), "Serial Number");
    EXPECT_EQ(form.lvInclude->topLevelItem(8)->text(0), "Minimum Gap");
    EXPECT_EQ(form.lvInclude->headerItem()->text(0), "Included Fields");
    for (bool f : form.CheckedFields())
        EXPECT_TRUE(f);
    EXPECT_EQ(form.lvInclude->currentItem(), form.lvInclude->topLevelItem(0));
    EXPECT_EQ(form.btnSave->text(), "&Save");
    EXPECT_TRUE(form.btnSave->isDefault());
}

TEST_F(Export, NothingCheckedIsASelectionErrorAndTouchesNoFile) {
    for (int k = 0; k < 9; ++k)
        Check(k, false);
    form.show();
    TShownMessage shown;
    CloseNextMessage(shown);
    form.btnSaveClick();
    EXPECT_EQ(shown.Title, "Selection Error");
    EXPECT_EQ(shown.Text, "You must select at least one of the fields to export");
    EXPECT_TRUE(offeredFolders.empty());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Export, WritesTheCheckedFieldsAndKeepsTheMarks) {
    store->SensorCount = 1;
    store->Sensors[0].Name.Assign("Tank 7");
    store->Sensors[0].Stats.RunAvg = 12.3f;
    for (int k = 0; k < 9; ++k)
        Check(k, k == 1 || k == 6);
    answer = dir.filePath("out.csv");
    form.show();
    form.btnSaveClick();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
    QFile file(answer);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "Name,Running Average\r\n\"Tank 7\",12.3000001907349\r\n");

    // Shown again later in the run: the marks are as the user left them, and the file dialog
    // starts where the last file went; the first time it started in the program's folder,
    // which the build's is, being writable.
    form.show();
    form.btnSaveClick();
    const auto fields = form.CheckedFields();
    EXPECT_EQ(std::count(fields.begin(), fields.end(), true), 2);
    EXPECT_TRUE(fields[1] && fields[6]);
    ASSERT_EQ(offeredFolders.size(), 2u);
    EXPECT_EQ(offeredFolders[0], QCoreApplication::applicationDirPath() + QDir::separator());
    EXPECT_EQ(offeredFolders[1], QDir(dir.path()).absolutePath() + QDir::separator());
    EXPECT_EQ(TfrmExport::LastFolder(), QDir(dir.path()).absolutePath());
}

// A program folder that cannot be written (an installed copy's /usr/bin) is no start for the
// user's files: the documents folder is, until a file has been written somewhere.
TEST(ExportFolder, StartsInTheDocumentsWhenTheProgramsFolderIsNotWritable) {
    EXPECT_EQ(TfrmExport::StartFolderFor("", "/opt/c", true, "/home/u/Documents"), "/opt/c/");
    EXPECT_EQ(TfrmExport::StartFolderFor("", "/usr/bin", false, "/home/u/Documents"),
              "/home/u/Documents/");
    EXPECT_EQ(TfrmExport::StartFolderFor("/srv/out", "/usr/bin", false, "/home/u/Documents"),
              "/srv/out/");
    EXPECT_EQ(TfrmExport::StartFolderFor("", "/usr/bin", false, ""), "/usr/bin/");
}

TEST_F(Export, CancelledSaveOrFailedWriteKeepsTheDialogOpen) {
    std::vector<std::string> reported;
    SetErrorSink([&reported](const std::string& m) { reported.push_back(m); });
    SetErrorReportPath(dir.filePath("corvane.err").toStdString()); // not beside the test program
    form.show();
    answer.clear(); // the user cancelled the file dialog
    form.btnSaveClick();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(reported.empty());

    answer = dir.filePath("missing/folder/out.csv");
    form.btnSaveClick();
    SetErrorSink(nullptr);
    SetErrorReportPath({});
    EXPECT_TRUE(form.isVisible());
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(reported.size(), 1u);
}

class SelectEntryDialog : public ::testing::Test {
protected:
    std::vector<std::string> names{"East", "North Gate", "West"};

    // Opens the dialog, checks what it offers, then leaves it through act.
    bool Run(std::string& filter, int expectSelected, std::function<void(TSelectEntryFm*)> act) {
        OnNextModal([&](QWidget* w) {
            auto* dialog = qobject_cast<TSelectEntryFm*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Select Entry");
            ASSERT_EQ(dialog->EntryCB->count(), 4);
            EXPECT_EQ(dialog->EntryCB->itemText(0), "-- All --");
            EXPECT_EQ(dialog->EntryCB->itemText(2), "North Gate");
            EXPECT_EQ(dialog->EntryCB->currentIndex(), expectSelected);
            act(dialog);
        });
        return SelectEntry(nullptr, names, filter);
    }
};

TEST_F(SelectEntryDialog, PreselectsTheFilterIgnoringCase) {
    std::string filter;
    EXPECT_TRUE(Run(filter, 0, [](TSelectEntryFm* d) { d->Button1->click(); }));
    EXPECT_EQ(filter, "");

    filter = "NORTH gate";
    EXPECT_TRUE(Run(filter, 2, [](TSelectEntryFm* d) { d->Button1->click(); }));
    EXPECT_EQ(filter, "North Gate");

    filter = "Gone"; // not among the names: all entry points offered
    EXPECT_TRUE(Run(filter, 0, [](TSelectEntryFm* d) {
        d->EntryCB->setCurrentIndex(3);
        d->Button1->click();
    }));
    EXPECT_EQ(filter, "West");

    EXPECT_TRUE(Run(filter, 3, [](TSelectEntryFm* d) {
        d->EntryCB->setCurrentIndex(0);
        d->Button1->click();
    }));
    EXPECT_EQ(filter, "");
}

TEST_F(SelectEntryDialog, CancelAndCloseLeaveTheFilter) {
    std::string filter = "West";
    EXPECT_FALSE(Run(filter, 3, [](TSelectEntryFm* d) {
        d->EntryCB->setCurrentIndex(1);
        d->Button2->click();
    }));
    EXPECT_EQ(filter, "West");
    EXPECT_FALSE(Run(filter, 3, [](TSelectEntryFm* d) {
        d->EntryCB->setCurrentIndex(1);
        d->close(); // the title bar's close button
    }));
    EXPECT_EQ(filter, "West");
}

// "By Entry": a confirmed choice is applied, shown and starts the record over; a cancelled one
// leaves filter, status bar and the collected data alone.
TEST(ByEntry, OnlyAConfirmedChoiceChangesAnything) {
    TManualClock clock;
    TNullListener listener;
    TMonitor monitor(clock, listener);
    monitor.EntryNames = {"East", "North Gate"};
    monitor.EntryFilter = "East";
    std::vector<QString> shown;
    int clears = 0;
    auto show = [&shown](const QString& s) { shown.push_back(s); };
    auto clear = [&clears] { ++clears; };

    OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->close(); });
    EXPECT_FALSE(RunByEntry(nullptr, monitor.EntryNames, monitor.EntryFilter, show, clear));
    OnNextModal([](QWidget* w) { qobject_cast<TSelectEntryFm*>(w)->Button2->click(); });
    EXPECT_FALSE(RunByEntry(nullptr, monitor.EntryNames, monitor.EntryFilter, show, clear));
    EXPECT_EQ(monitor.EntryFilter, "East");
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(clears, 0);

    OnNextModal([](QWidget* w) {
        auto* d = qobject_cast<TSelectEntryFm*>(w);
        d->EntryCB->setCurrentIndex(2);
        d->Button1->click();
    });
    EXPECT_TRUE(RunByEntry(nullptr, monitor.EntryNames, monitor.EntryFilter, show, clear));
    EXPECT_EQ(monitor.EntryFilter, "North Gate");
    EXPECT_EQ(shown, std::vector<QString>{"North Gate"});
    EXPECT_EQ(clears, 1);
}

TEST(About, ListsTheStartUpParameters) {
    TAboutParams params;
    params.LogPackets = true;
    params.MaxAge = 3600;
    TfrmAbout about(params);
    EXPECT_EQ(about.windowTitle(), "About");
    const QStringList lines = about.mParams->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "Running Average (Points2Ave) = 10");
    EXPECT_EQ(lines[1], "Sliding Window (MaxAgeSecs) = 3600");
    EXPECT_EQ(lines[2], "Log Rate (LogRate) = 0");
    EXPECT_EQ(lines[3], "Log Packets (LogPackets) = True");
    EXPECT_EQ(lines[4], "Duplicate Time (DuplicateTime) = 9");
    EXPECT_EQ(lines[5], "Use CRC for Duplicate Check (DuplicateCRCCheck) = False");
    EXPECT_FALSE(about.ProgramIcon->pixmap().isNull());
}

// Silver with a navy name on a light desktop; a dark desktop's own colours on a dark one, and the
// box follows a change of scheme while it is open.
TEST(About, BannerFollowsTheLightAndTheDarkScheme) {
    TfrmAbout about(TAboutParams{});
    QPalette light = about.palette();
    light.setColor(QPalette::Window, QColor(239, 239, 239));
    light.setColor(QPalette::WindowText, Qt::black);
    about.setPalette(light);
    EXPECT_EQ(about.Banner->palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(about.Title->palette().color(QPalette::WindowText), QColor(0, 0, 128));

    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::AlternateBase, QColor(60, 60, 60));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Link, QColor(120, 170, 255));
    // The desktop's scheme reaches the box through the application's palette.
    const QPalette before = QApplication::palette();
    about.setPalette(QPalette());
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    EXPECT_EQ(about.Banner->palette().color(QPalette::Window), QColor(60, 60, 60));
    EXPECT_EQ(about.Banner->palette().color(QPalette::WindowText), QColor(230, 230, 230));
    EXPECT_EQ(about.Title->palette().color(QPalette::WindowText), QColor(120, 170, 255));
    QApplication::setPalette(before);
}

TEST(About, WebAddressOpensOrSaysItCannot) {
    TfrmAbout about(TAboutParams{});
    std::vector<QUrl> opened;
    bool works = true;
    about.OpenUrl = [&](const QUrl& u) {
        opened.push_back(u);
        return works;
    };
    about.LBURLClick();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(TfrmAbout::WebAddress));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    works = false;
    TShownMessage shown;
    CloseNextMessage(shown);
    about.LBURLClick();
    EXPECT_EQ(shown.Title, "Error");
    EXPECT_EQ(shown.Text, "Cannot Execute Browser! ");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
