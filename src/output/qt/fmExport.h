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

    // The folder the file dialog starts in, every time: the program's own.
    static QString StartFolder();

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
