#include "app/qt/fmStations.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>

#include "app/qt/StationRollModel.h"
#include "mqtt/MqttSubscriber.h"
#include "util/qt/Help.h"
#include "util/qt/Latin1.h"

namespace corvane {

namespace {

// The dialog's help topic, "Reading stations through a broker".
constexpr int kHelpContext = 28;
// How often the state line looks again while the broker is being tried: a failed attempt after
// the first one changes the reason without waking the dialog.
constexpr int kStateEveryMs = 500;

QLineEdit* Field(const std::string& text, const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(Latin1(text), parent);
    edit->setObjectName(name);
    return edit;
}

// The library's and the broker's words end a sentence of their own; the line goes on.
QString Reason(const std::string& trouble) {
    QString text = Latin1(trouble);
    while (text.endsWith('.'))
        text.chop(1);
    return text;
}

} // namespace

TfrmStations::TfrmStations(const TMqttSettings& defaults, QWidget* parent)
    : QDialog(parent), defaults_(defaults), model_(new TStationRollModel(this)),
      stateTimer_(new QTimer(this)) {
    setObjectName("frmStations");
    setWindowTitle("MQTT Stations");
    // Only the main window waits for the dialog, so the help window stays usable meanwhile.
    setWindowModality(Qt::WindowModal);
    SetHelpContext(this, kHelpContext);

    lblState = new QLabel(this);
    lblState->setObjectName("lblState");
    lblState->setTextFormat(Qt::PlainText); // host names and the broker's words are no markup
    lblState->setWordWrap(true);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("buttons");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(BuildForm());
    layout->addWidget(BuildList(), 1);
    layout->addWidget(lblState);
    layout->addWidget(buttons);

    connect(lvStations->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmStations::ChosenChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, &TfrmStations::ChosenChanged);
    connect(lvStations, &QAbstractItemView::doubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnList, &QPushButton::clicked, this, &TfrmStations::List);
    connect(stateTimer_, &QTimer::timeout, this, &TfrmStations::ShowState);
    ChosenChanged();
    ShowState();
}

void TfrmStations::ChosenChanged() {
    const bool any = lvStations->selectionModel()->hasSelection();
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(any);
    // Enter lists until something is chosen, and confirms from then on.
    ok->setDefault(any);
    btnList->setDefault(!any);
}

TfrmStations::~TfrmStations() {
    StopListing();
}

void TfrmStations::MakeFields() {
    edtHost = Field(defaults_.Host, "edtHost", this);
    edtHost->setMinimumWidth(180);
    spePort = new QSpinBox(this);
    spePort->setObjectName("spePort");
    spePort->setRange(1, 65535);
    spePort->setValue(defaults_.Port);
    chkTls = new QCheckBox("&TLS", this);
    chkTls->setObjectName("chkTls");
    chkTls->setChecked(defaults_.Tls);
    edtCaFile = Field(defaults_.CaFile, "edtCaFile", this);
    edtCaFile->setPlaceholderText("the system's authorities");
    btnCaFile = new QPushButton("...", this);
    btnCaFile->setMaximumWidth(btnCaFile->fontMetrics().horizontalAdvance("....") * 3);
    btnCaFile->setObjectName("btnCaFile");
    btnCaFile->setToolTip("Choose the authority's certificate (PEM)");
    edtUser = Field(defaults_.User, "edtUser", this);
    edtPassword = Field(defaults_.Password, "edtPassword", this);
    edtPassword->setEchoMode(QLineEdit::Password);
    btnList = new QPushButton("&List", this);
    btnList->setObjectName("btnList");
}

QTreeView* TfrmStations::BuildList() {
    lvStations = new QTreeView(this);
    lvStations->setObjectName("lvStations");
    lvStations->setModel(model_);
    lvStations->setRootIsDecorated(false);
    lvStations->setUniformRowHeights(true);
    lvStations->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvStations->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvStations->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvStations->header()->setStretchLastSection(false);
    lvStations->header()->setSectionResizeMode(TStationRollModel::ColStation, QHeaderView::Stretch);
    lvStations->header()->setSectionResizeMode(TStationRollModel::ColState,
                                               QHeaderView::ResizeToContents);
    lvStations->setMinimumSize(420, 180);
    return lvStations;
}

QLayout* TfrmStations::BuildForm() {
    MakeFields();
    auto* grid = new QGridLayout;
    auto row = [&](int at, const char* caption, QWidget* field, int span) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        grid->addWidget(label, at, 0);
        grid->addWidget(field, at, 1, 1, span);
    };
    row(0, "&Host", edtHost, 2);
    auto* port = new QLabel("&Port", this);
    port->setBuddy(spePort);
    grid->addWidget(port, 0, 3);
    grid->addWidget(spePort, 0, 4);
    grid->addWidget(chkTls, 1, 1);
    row(2, "&CA file", edtCaFile, 3);
    grid->addWidget(btnCaFile, 2, 4);
    row(3, "&User", edtUser, 2);
    row(4, "Pass&word", edtPassword, 2);
    grid->addWidget(btnList, 4, 4);
    grid->setColumnStretch(2, 1);

    auto tlsChanged = [this](bool on) {
        edtCaFile->setEnabled(on);
        btnCaFile->setEnabled(on);
    };
    connect(chkTls, &QCheckBox::toggled, this, tlsChanged);
    connect(btnCaFile, &QPushButton::clicked, this, &TfrmStations::ChooseCaFile);
    tlsChanged(chkTls->isChecked());
    return grid;
}

bool TfrmStations::Execute() {
    model_->Clear();
    if (!edtHost->text().trimmed().isEmpty())
        List();
    else
        ShowState();
    edtHost->setFocus();
    return exec() == QDialog::Accepted && !Chosen().empty();
}

TMqttSettings TfrmStations::Broker() const {
    TMqttSettings broker = defaults_;
    broker.Warnings.clear();
    // The settings' texts are 8-bit; what is typed is taken the same way.
    broker.Host = edtHost->text().trimmed().toLatin1().toStdString();
    broker.Port = spePort->value();
    broker.Tls = chkTls->isChecked();
    broker.CaFile = edtCaFile->text().trimmed().toLatin1().toStdString();
    broker.User = edtUser->text().toLatin1().toStdString();
    broker.Password = edtPassword->text().toLatin1().toStdString();
    return broker;
}

std::vector<std::string> TfrmStations::Chosen() const {
    std::vector<std::string> names;
    for (int row = 0; row < model_->rowCount(); ++row)
        if (lvStations->selectionModel()->isRowSelected(row, {}))
            names.push_back(model_->Name(row));
    return names;
}

void TfrmStations::List() {
    StopListing();
    model_->Clear();
    refused_.clear();
    TMqttSettings broker = Broker();
    if (broker.Host.empty()) {
        refused_ = "Write the broker's host name or address, then List.";
        ShowState();
        return;
    }
    // Never the client id of a reader of this run on the same broker: the broker would end
    // that reader's connection for this one.
    broker.ClientId += "-list";
    // This run's own station, when it publishes to this broker: reading it back would count
    // its receivers' lines twice.
    const bool publishesHere =
        !defaults_.Host.empty() && broker.Host == defaults_.Host && broker.Port == defaults_.Port;
    model_->SetOwn(publishesHere ? defaults_.Station : std::string());
    // Its log lines are the state line's business, not the log pane's: only why it could not
    // start at all is shown as it was said.
    subscriber_ = std::make_unique<TMqttSubscriber>(
        broker, [this](std::string_view line) { said_.assign(line); });
    if (!subscriber_->Start()) {
        refused_ = said_;
        subscriber_.reset();
        ShowState();
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(subscriber_->ReadyFd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TfrmStations::Catch);
    stateTimer_->start(kStateEveryMs);
    ShowState();
}

void TfrmStations::Catch() {
    if (!subscriber_)
        return;
    subscriber_->DrainReady();
    subscriber_->Poll();
    const size_t n = subscriber_->Take(events_);
    model_->Apply(events_, n);
    ShowState();
}

void TfrmStations::StopListing() {
    stateTimer_->stop();
    notifier_.reset(); // before the descriptor it watches goes with the subscriber
    if (subscriber_)
        subscriber_->Stop();
    subscriber_.reset();
}

void TfrmStations::done(int result) {
    StopListing();
    ShowState();
    QDialog::done(result);
}

void TfrmStations::ShowState() {
    const QString topic = Latin1(defaults_.Topic);
    QString text;
    if (!refused_.empty()) {
        text = Latin1(refused_);
    } else if (!subscriber_) {
        text = QString("List shows the stations under %1 on the broker.").arg(topic);
    } else {
        const QString broker = Latin1(subscriber_->BrokerName());
        const TStationRoll& roll = model_->Roll();
        const std::string trouble = subscriber_->Trouble();
        if (subscriber_->Connected() && roll.Entries().empty())
            text = QString("Connected to %1; no station under %2 yet.").arg(broker, topic);
        else if (subscriber_->Connected())
            text = QString("Connected to %1: %2 station%3 under %4, %5 online.")
                       .arg(broker)
                       .arg(roll.Entries().size())
                       .arg(roll.Entries().size() == 1 ? "" : "s")
                       .arg(topic)
                       .arg(roll.Count(TStationRoll::TState::Online));
        else if (trouble.empty())
            text = QString("Connecting to %1 ...").arg(broker);
        else
            text = QString("No connection to %1: %2. Trying again.").arg(broker, Reason(trouble));
    }
    lblState->setText(text);
}

void TfrmStations::ChooseCaFile() {
    const QString file = QFileDialog::getOpenFileName(this, "CA file", edtCaFile->text(),
                                                      "Certificates (*.pem *.crt);;All files (*)");
    if (!file.isEmpty())
        edtCaFile->setText(file);
}

} // namespace corvane
