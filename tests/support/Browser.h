#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>

namespace registrator::web::testing {

// Headless Chromium driven over its DevTools protocol on a loopback socket.
class Browser {
public:
    Browser();
    ~Browser();
    bool Ready() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    QString Log() const { return log_; }

    // One protocol call; the event loop (and so the program) runs while the answer is awaited.
    QJsonObject Call(const QString& method, const QJsonObject& params = {});
    // A new tab at `url`; `beforePage`, when given, runs in it before anything of the page's own and
    // outside the page's policy.
    void Open(const QString& url, const QString& beforePage = {});
    QJsonValue Evaluate(const QString& expression);
    bool WaitFor(const QString& expression, int ms);
    void Resize(int width, int height, bool mobile);
    // The whole page, however long, as a PNG.
    QByteArray Screenshot(int width, bool mobile);

private:
    QTemporaryDir profile_;
    QProcess process_;
    QString log_;
    QWebSocket socket_;
    QString session_;
    int lastId_ = 0;
    QHash<int, QJsonObject> answers_;
};

// Keeps a picture of a page for a person to look at.
void SaveShot(const QByteArray& png, const QString& name);

} // namespace registrator::web::testing
