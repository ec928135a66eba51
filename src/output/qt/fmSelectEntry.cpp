#include "output/qt/fmSelectEntry.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

namespace {

const QString AllEntries = QStringLiteral("-- All --");

} // namespace

TSelectEntryFm::TSelectEntryFm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle("Select Entry");
    setFixedSize(299, 168);

    EntryCB = new QComboBox(this);
    EntryCB->setEditable(false);
    EntryCB->setFixedWidth(193);
    Button1 = new QPushButton("OK", this);
    Button2 = new QPushButton("Cancel", this);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* choice = new QHBoxLayout;
    choice->addStretch(1);
    choice->addWidget(EntryCB);
    choice->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addLayout(choice);
    layout->addStretch(1);
    layout->addLayout(buttons);
}

bool SelectEntry(QWidget* parent, const std::vector<std::string>& names, std::string& filter) {
    TSelectEntryFm dialog(parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.EntryCB->addItem(AllEntries);
    for (const std::string& name : names)
        dialog.EntryCB->addItem(QString::fromLatin1(name.data(), name.size()));
    const int found =
        filter.empty() ? -1
                       : dialog.EntryCB->findText(QString::fromLatin1(filter.data(), filter.size()),
                                                  Qt::MatchFixedString);
    dialog.EntryCB->setCurrentIndex(found > 0 ? found : 0);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const int chosen = dialog.EntryCB->currentIndex();
    filter = chosen > 0 ? dialog.EntryCB->currentText().toLatin1().toStdString() : std::string();
    return true;
}

bool RunByEntry(QWidget* parent, const std::vector<std::string>& names, std::string& filter,
                const std::function<void(const QString&)>& showFilter,
                const std::function<void()>& clearAll) {
    if (!SelectEntry(parent, names, filter))
        return false;
    if (showFilter)
        showFilter(QString::fromLatin1(filter.data(), filter.size()));
    if (clearAll)
        clearAll();
    return true;
}

} // namespace corvane
