// The export dialog: the user picks which of the nine statistics fields go into the file, then
// chooses the file. Made once per run, so the marks stay as the user left them.
#pragma once

#include <QDialog>

#include <array>
#include <functional>

#include "output/CsvExport.h"

class QPushButton;
class QTreeWidget;

namespace corvane {

class TStore;

class TfrmExport : public QDialog {
    Q_OBJECT
public:
    TfrmExport(const TStore& store, QWidget* parent = nullptr);

    // The fields whose boxes are checked, in their fixed order.
    std::array<bool, ExportFieldCount> CheckedFields() const;

    // Asks for the file to write, starting in the given folder; empty when the user cancelled.
    // Replaceable so that the dialog can be driven without a file dialog.
    std::function<QString(QWidget* parent, const QString& folder)> ChooseFile;

    // The folder the file dialog starts in: the one last written to; before any, the program's
    // own when it may be written to, else the user's documents folder (an installed program's
    // folder is no place for the user's files).
    static QString StartFolder();
    // The rule itself, each folder as a path ending in a separator or empty.
    static QString StartFolderFor(const QString& last, const QString& program, bool programWritable,
                                  const QString& documents);
    // The folder last written to, this run or (taken back from the window's state) an earlier
    // one; a chosen file's folder becomes it.
    static QString LastFolder();
    static void SetLastFolder(const QString& folder);
    static void NoteChosenFile(const QString& path);

    QTreeWidget* lvInclude = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void btnSaveClick();

private:
    const TStore& store_;
};

// The platform's save-file dialog for a comma-separated file, asking before overwriting.
QString RunCsvSaveDialog(QWidget* parent, const QString& folder);

} // namespace corvane
