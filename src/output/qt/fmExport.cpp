#include "output/qt/fmExport.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "util/qt/ErrorReport.h"
#include "util/qt/Help.h"

namespace corvane {

TfrmExport::TfrmExport(const TStore& store, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ChooseFile(RunCsvSaveDialog), store_(store) {
    setWindowTitle("Export");
    // Only the main window waits for it, so the help window stays usable beside it.
    setWindowModality(Qt::WindowModal);
    SetHelpContext(this, 14);
    setFixedSize(221, 278);

    lvInclude = new QTreeWidget(this);
    lvInclude->setHeaderLabels({"Included Fields"});
    lvInclude->setColumnWidth(0, 190);
    lvInclude->setRootIsDecorated(false);
    lvInclude->setUniformRowHeights(true);
    lvInclude->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvInclude->header()->setSectionsClickable(false);
    for (std::string_view caption : ExportFieldCaptions) {
        auto* item =
            new QTreeWidgetItem(lvInclude, {QString::fromLatin1(caption.data(), caption.size())});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
    }
    lvInclude->setCurrentItem(lvInclude->topLevelItem(0));

    auto* buttons = new QWidget(this);
    buttons->setFixedHeight(47);
    btnSave = new QPushButton("&Save", buttons);
    btnCancel = new QPushButton("&Cancel", buttons);
    btnSave->setDefault(true);
    auto* row = new QHBoxLayout(buttons);
    row->addStretch(1);
    row->addWidget(btnSave);
    row->addWidget(btnCancel);
    row->addStretch(1);
    connect(btnSave, &QPushButton::clicked, this, &TfrmExport::btnSaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(0);
    layout->addWidget(lvInclude, 1);
    layout->addWidget(buttons);
}

std::array<bool, ExportFieldCount> TfrmExport::CheckedFields() const {
    std::array<bool, ExportFieldCount> fields{};
    for (int k = 0; k < ExportFieldCount && k < lvInclude->topLevelItemCount(); ++k)
        fields[k] = lvInclude->topLevelItem(k)->checkState(0) == Qt::Checked;
    return fields;
}

namespace {
QString& LastExportFolder() {
    static QString folder;
    return folder;
}

QString WithSeparator(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(QDir::separator()) ? folder
                                                                  : folder + QDir::separator();
}
} // namespace

QString TfrmExport::StartFolderFor(const QString& last, const QString& program,
                                   bool programWritable, const QString& documents) {
    if (!last.isEmpty())
        return WithSeparator(last);
    if (programWritable || documents.isEmpty())
        return WithSeparator(program);
    return WithSeparator(documents);
}

QString TfrmExport::StartFolder() {
    const QString program = QDir(QCoreApplication::applicationDirPath()).absolutePath();
    const QString last = LastExportFolder();
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // A documents folder that is not there yet is offered as the home folder it would be in.
    if (!documents.isEmpty() && !QFileInfo(documents).isDir())
        documents = QDir::homePath();
    return StartFolderFor(QFileInfo(last).isDir() ? last : QString(), program,
                          QFileInfo(program).isWritable(), documents);
}

QString TfrmExport::LastFolder() {
    return LastExportFolder();
}

void TfrmExport::SetLastFolder(const QString& folder) {
    LastExportFolder() = folder;
}

void TfrmExport::NoteChosenFile(const QString& path) {
    if (!path.isEmpty())
        LastExportFolder() = QFileInfo(path).absolutePath();
}

void TfrmExport::btnSaveClick() {
    const std::array<bool, ExportFieldCount> fields = CheckedFields();
    if (std::none_of(fields.begin(), fields.end(), [](bool f) { return f; })) {
        QMessageBox::warning(this, "Selection Error",
                             "You must select at least one of the fields to export");
        return;
    }
    const QString path = ChooseFile(this, StartFolder());
    if (path.isEmpty())
        return;
    NoteChosenFile(path);
    try {
        WriteExport(QFile::encodeName(path).toStdString(), store_, fields);
    } catch (const std::exception& e) {
        // The dialog stays open so that the user can try another file.
        ReportError(e.what());
        return;
    }
    accept();
}

QString RunCsvSaveDialog(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(folder);
    dialog.setDefaultSuffix("csv");
    dialog.setNameFilter("Comma Separated Variable files (*.csv)");
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace corvane
