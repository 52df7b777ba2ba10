#include "support/Browser.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

namespace registrator::web::testing {

Browser::Browser() {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        return;
    process_.setProgram(chromium);
    process_.setArguments({"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                           "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
                           "--remote-allow-origins=*", "--window-size=1280,900",
                           "--user-data-dir=" + profile_.path(), "about:blank"});
    process_.start();
    QString endpoint;
    (void)QTest::qWaitFor(
        [&] {
            log_ += QString::fromUtf8(process_.readAllStandardError());
            const auto match =
                QRegularExpression(QStringLiteral("DevTools listening on (ws://\\S+)")).match(log_);
            endpoint = match.captured(1);
            return !endpoint.isEmpty() || process_.state() == QProcess::NotRunning;
        },
        30000);
    if (endpoint.isEmpty())
        return;
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message.contains("id"))
            answers_[message["id"].toInt()] = message;
    });
    socket_.open(QUrl(endpoint));
    (void)QTest::qWaitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState; }, 10000);
}

Browser::~Browser() {
    socket_.close();
    process_.kill();
    process_.waitForFinished(5000);
}

QJsonObject Browser::Call(const QString& method, const QJsonObject& params) {
    const int id = ++lastId_;
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    if (!session_.isEmpty())
        message["sessionId"] = session_;
    socket_.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    (void)QTest::qWaitFor([&] { return answers_.contains(id); }, 20000);
    const QJsonObject answer = answers_.take(id);
    EXPECT_FALSE(answer.contains("error"))
        << method.toStdString() << ": " << QJsonDocument(answer).toJson().toStdString();
    return answer["result"].toObject();
}

void Browser::Open(const QString& url, const QString& beforePage) {
    const QString first = beforePage.isEmpty() ? url : QStringLiteral("about:blank");
    const QString target = Call("Target.createTarget", {{"url", first}})["targetId"].toString();
    session_ =
        Call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}})["sessionId"].toString();
    if (beforePage.isEmpty())
        return;
    Call("Page.enable");
    Call("Page.addScriptToEvaluateOnNewDocument", {{"source", beforePage}});
    Call("Page.navigate", {{"url", url}});
}

QJsonValue Browser::Evaluate(const QString& expression) {
    return Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}})["result"]
        .toObject()["value"];
}

bool Browser::WaitFor(const QString& expression, int ms) {
    return QTest::qWaitFor([&] { return Evaluate(expression).toBool(); }, ms);
}

void Browser::Resize(int width, int height, bool mobile) {
    Call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", mobile}});
}

QByteArray Browser::Screenshot(int width, bool mobile) {
    Resize(width, 800, mobile);
    const int height = Evaluate("document.documentElement.scrollHeight").toInt();
    Resize(width, qMax(height, 200), mobile);
    return QByteArray::fromBase64(
        Call("Page.captureScreenshot", {{"format", "png"}})["data"].toString().toLatin1());
}

void SaveShot(const QByteArray& png, const QString& name) {
    // The pictures a person looks at go where REGISTRATOR_WEB_SHOTS says; a run without it keeps none.
    const QString folder = qEnvironmentVariable("REGISTRATOR_WEB_SHOTS");
    if (folder.isEmpty())
        return;
    QFile file(folder + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << file.fileName().toStdString();
    file.write(png);
}

} // namespace registrator::web::testing
