#include "util/qt/ErrorReport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <exception>

namespace corvane {

namespace {

std::string& ChosenPath() {
    static std::string path;
    return path;
}

TErrorSink& Sink() {
    static TErrorSink sink;
    return sink;
}

void AppendToReport(const std::string& message) {
    const QString path = QString::fromStdString(ErrorReportPath());
    // The user's data folder is made when the first report needs it.
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // nowhere to write: the message box still tells the user
    const QByteArray stamp =
        QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss").toLatin1();
    file.write(stamp + ' ' + QByteArray::fromStdString(message) + "\r\n");
}

} // namespace

std::string ErrorReportPath() {
    if (!ChosenPath().empty())
        return ChosenPath();
    const QFileInfo program(QCoreApplication::applicationFilePath());
    const QString base = program.path() + '/' + program.completeBaseName();
    return (base + ".err").toStdString();
}

void SetErrorReportPath(const std::string& path) {
    ChosenPath() = path;
}

void SetErrorSink(TErrorSink sink) {
    Sink() = std::move(sink);
}

void ReportError(const std::string& message) {
    AppendToReport(message);
    if (Sink()) {
        Sink()(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    QString::fromLatin1(message.data(), qsizetype(message.size())),
                    QMessageBox::Ok);
    // An error may quote what a receiver sent: shown as it stands, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void PostError(const std::string& message) {
    QTimer::singleShot(0, qApp, [message] { ReportError(message); });
}

void PostWarning(QWidget* parent, const std::string& message) {
    QTimer::singleShot(0, parent, [parent, message] {
        QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                        QString::fromStdString(message), QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    });
}

bool TCorvApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError("Unknown error");
    }
    return false;
}

} // namespace corvane
