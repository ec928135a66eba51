// The MQTT stations dialog: a broker's stations under the topic root, each with its retained
// status, for choosing the ones to read. One instance for the whole run, so it keeps what was
// typed last; its fields start from section [MQTT], which it never writes (that section also
// says where this run publishes). The list is read by a subscriber of the dialog's own, which
// exists only while the dialog is open: cancelling leaves nothing behind.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "mqtt/MqttSettings.h"

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSocketNotifier;
class QSpinBox;
class QTimer;
class QTreeView;

namespace corvane {

class TMqttSubscriber;
class TStationRollModel;
struct TStationEvent;

class TfrmStations : public QDialog {
    Q_OBJECT
public:
    // defaults: [MQTT] as read at start-up; the fields show its broker and login, the rest
    // (topic root, client id, keep-alive) is used as it is.
    explicit TfrmStations(const TMqttSettings& defaults, QWidget* parent = nullptr);
    ~TfrmStations() override;

    // Shows the dialog modally, listing at once when a host is filled in; true when confirmed
    // with at least one station chosen.
    bool Execute();
    // Connects to the broker the fields name and lists its stations as they are heard.
    void List();
    // The broker as the fields say, and the chosen stations' names (Latin-1), in list order.
    TMqttSettings Broker() const;
    std::vector<std::string> Chosen() const;
    TStationRollModel* Model() const { return model_; }

    void done(int result) override;

    QLineEdit* edtHost;
    QSpinBox* spePort;
    QCheckBox* chkTls;
    QLineEdit* edtCaFile;
    QPushButton* btnCaFile;
    QLineEdit* edtUser;
    QLineEdit* edtPassword;
    QPushButton* btnList;
    QTreeView* lvStations;
    QLabel* lblState; // connecting, the stations heard, or why the broker is not there
    QDialogButtonBox* buttons;

private:
    void MakeFields();
    QLayout* BuildForm();
    QTreeView* BuildList();
    void ChosenChanged();
    void Catch();
    void StopListing();
    void ShowState();
    void ChooseCaFile();

    TMqttSettings defaults_;
    TStationRollModel* model_;
    std::unique_ptr<TMqttSubscriber> subscriber_;
    // Goes before the subscriber whose descriptor it watches.
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer* stateTimer_;
    std::vector<TStationEvent> events_;
    std::string said_;    // the subscriber's newest log line
    std::string refused_; // why the subscriber did not start at all
};

} // namespace corvane
