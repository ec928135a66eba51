// The about box: the program's name, icon and version, its maker, the six operating parameters
// as they were read at start-up, and where this run keeps its files.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <string>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace corvane {

// The settings values that the box lists, as read at start-up.
struct TAboutParams {
    int32_t Points2Average = 10;
    int32_t MaxAge = 10800;
    int32_t LogRateSec = 0;
    bool LogPackets = false;
    int32_t DuplicateTimeSec = 9;
    bool DuplicateCRCCheck = false;
    std::string Places; // where this run keeps its files, shown below the parameters
};

// The six lines of the parameter box, "Log Packets (LogPackets) = True" and the like.
QStringList ParameterLines(const TAboutParams& params);

// The program's icon: a mast sending radio waves.
QIcon DrawProgramIcon();
// The same icon as installed for the desktop, at every size it comes in.
QIcon ProgramIcon();

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    TfrmAbout(const TAboutParams& params, QWidget* parent = nullptr);

    static constexpr const char* WebAddress = "https://corvane.example.org/";

    // Hands the address to the user's browser; replaceable for tests.
    std::function<bool(const QUrl&)> OpenUrl;

    QLabel* ProgramIcon = nullptr;
    QLabel* LBURL = nullptr;
    QPlainTextEdit* mParams = nullptr;
    QPushButton* Button1 = nullptr;
    QFrame* Banner = nullptr; // the name, the line about the maker and the version
    QLabel* Title = nullptr;

public slots:
    void LBURLClick();

protected:
    void changeEvent(QEvent* event) override;

private:
    void ColourBanner();
};

} // namespace corvane
