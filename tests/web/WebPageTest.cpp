// Loads the live page in headless Chromium beside the running program and holds it against the main window.
#include "WebTestSupport.h"
#include "common/DateTime.h"
#include "events/ActiveAlarms.h"
#include "service/web/WebView.h"
#include "ui/monitor/MainWindow.h"
#include "ui/monitor/MimicWidgets.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>
#include <cmath>
#include <gtest/gtest.h>

namespace registrator::web::testing {

namespace {

// Headless Chromium driven over its DevTools protocol on a loopback socket.
class Browser {
public:
    Browser() {
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
    ~Browser() {
        socket_.close();
        process_.kill();
        process_.waitForFinished(5000);
    }
    bool Ready() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    QString Log() const { return log_; }

    // One protocol call; the event loop (and so the program) runs while the answer is awaited.
    QJsonObject Call(const QString& method, const QJsonObject& params = {}) {
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
    void Open(const QString& url) {
        const QString target = Call("Target.createTarget", {{"url", url}})["targetId"].toString();
        session_ =
            Call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}})["sessionId"].toString();
    }
    QJsonValue Evaluate(const QString& expression) {
        return Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}})["result"]
            .toObject()["value"];
    }
    bool WaitFor(const QString& expression, int ms) {
        return QTest::qWaitFor([&] { return Evaluate(expression).toBool(); }, ms);
    }
    void Resize(int width, int height, bool mobile) {
        Call("Emulation.setDeviceMetricsOverride",
             {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", mobile}});
    }
    // The whole page, however long, as a PNG.
    QByteArray Screenshot(int width, bool mobile) {
        Resize(width, 800, mobile);
        const int height = Evaluate("document.documentElement.scrollHeight").toInt();
        Resize(width, qMax(height, 200), mobile);
        return QByteArray::fromBase64(
            Call("Page.captureScreenshot", {{"format", "png"}})["data"].toString().toLatin1());
    }

private:
    QTemporaryDir profile_;
    QProcess process_;
    QString log_;
    QWebSocket socket_;
    QString session_;
    int lastId_ = 0;
    QHash<int, QJsonObject> answers_;
};

QString Rgb(const QColor& colour) {
    return QStringLiteral("rgb(%1, %2, %3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
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

} // namespace

TEST(WebPage, ShowsTheMainWindowsTextsAndColoursLiveAtDesktopAndPhoneWidth) {
    RunningProgram running;
    ASSERT_NE(running.Port(), 0) << "the web view did not start";
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << "headless Chromium did not come up: " << browser.Log().toStdString();

    browser.Open(QStringLiteral("http://127.0.0.1:%1/").arg(running.Port()));
    browser.Resize(1280, 900, false);
    // Live: at least two pushes after the page was drawn from its first answer.
    ASSERT_TRUE(browser.WaitFor("Number(document.body.dataset.updates) >= 2", 15000));
    const QString status = browser.Evaluate("document.getElementById('status').innerText").toString();
    EXPECT_TRUE(status.contains(QStringLiteral("имитация"))) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("данные на"))) << status.toStdString();
    // The day's archive is a click away.
    const QString today = QString::fromStdString(common::ArchiveDateText(common::SystemClock().Today()));
    EXPECT_TRUE(browser.Evaluate("document.getElementById('csv').href")
                    .toString()
                    .endsWith(QStringLiteral("/archive/") + today + QStringLiteral(".csv")));
    EXPECT_TRUE(browser.Evaluate("document.getElementById('summary').href")
                    .toString()
                    .endsWith(QStringLiteral("/archive/") + today + QStringLiteral("/summary.csv")));

    // Hold the plant still, let the window take one last refresh and the page receive it.
    ui::MainWindow& window = running.Program().Main();
    running.Program().Recorder().StopTimers();
    // Three motors in known states, whatever the plant is doing (all 72 alike was seen on a loaded
    // machine): overloaded, above nominal and switched off.
    channels::UstavkiTable& ustavki = running.Program().Data().Ustavki;
    ustavki[1].T_Max = -1;
    ustavki[2].T_Nom = -1;
    ustavki[2].T_Max = 1e9;
    ustavki[3].T_Max = 3e9;
    ustavki[3].T_Nom = 2e9;
    ustavki[3].Oborot = 1'000'000'000;
    QTest::qWait(300);
    const int before = browser.Evaluate("Number(document.body.dataset.updates)").toInt();
    emit running.Program().Recorder().scanned();
    ASSERT_TRUE(
        browser.WaitFor(QStringLiteral("Number(document.body.dataset.updates) > %1").arg(before), 5000));

    const QJsonArray texts =
        browser.Evaluate("[...document.querySelectorAll('.tok')].map(e => e.textContent)").toArray();
    const QJsonArray colours =
        browser
            .Evaluate("[...document.querySelectorAll('.cap')].map(e => getComputedStyle(e).backgroundColor)")
            .toArray();
    ASSERT_EQ(texts.size(), 72);
    ASSERT_EQ(colours.size(), 72);
    QSet<QString> coloursSeen;
    for (int n = 1; n <= 72; ++n) {
        EXPECT_EQ(texts[n - 1].toString(), window.CurrentLabel(n)->text()) << "channel " << n;
        EXPECT_EQ(colours[n - 1].toString(), Rgb(window.Panel(n)->Colour())) << "channel " << n;
        coloursSeen.insert(colours[n - 1].toString());
    }
    EXPECT_EQ(colours[0].toString(), Rgb(ui::PanelColour(monitor::PanelState::Overloaded)));
    EXPECT_EQ(colours[1].toString(), Rgb(ui::PanelColour(monitor::PanelState::AboveNominal)));
    EXPECT_EQ(colours[2].toString(), Rgb(ui::PanelColour(monitor::PanelState::Off)));
    EXPECT_GE(coloursSeen.size(), 3);

    SaveShot(browser.Screenshot(1280, false), QStringLiteral("web-desktop.png"));
    // On a phone the twelve motors of a section wrap onto rows of four.
    const QByteArray phone = browser.Screenshot(390, true);
    SaveShot(phone, QStringLiteral("web-phone.png"));
    EXPECT_GT(browser.Evaluate("document.getElementById('Pan5').getBoundingClientRect().top").toDouble(),
              browser.Evaluate("document.getElementById('Pan1').getBoundingClientRect().bottom").toDouble());
    EXPECT_LE(browser.Evaluate("document.documentElement.scrollWidth").toInt(), 390);
}

TEST(WebPage, MotorPageDrawsTheRingFromTheProgramItself) {
    RunningProgram running;
    ASSERT_NE(running.Port(), 0);
    QTest::qWait(2500); // a few slow ticks, so the ring holds more than one slot
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << browser.Log().toStdString();
    browser.Open(QStringLiteral("http://127.0.0.1:%1/motor/37").arg(running.Port()));
    browser.Resize(1000, 700, false);
    ASSERT_TRUE(
        browser.WaitFor("document.getElementById('when').textContent.startsWith('данные на')", 15000));
    // Drawn: the canvas holds the trend's blue line somewhere (antialiased, so roughly its colour).
    EXPECT_TRUE(
        browser
            .Evaluate("(() => { const c = document.getElementById('chart'); "
                      "const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data; "
                      "for (let i = 0; i < d.length; i += 4) if (d[i+2] > 150 && d[i] < 90 && d[i+1] < 130) "
                      "return true; return false; })()")
            .toBool());
    // Nothing but the program itself was asked for.
    EXPECT_EQ(browser
                  .Evaluate("performance.getEntriesByType('resource').filter(r => !r.name.startsWith("
                            "location.origin)).length")
                  .toInt(),
              0);
    // The value axis steps by a round 1, 2 or 5 times a power of ten.
    const QStringList ticks =
        browser.Evaluate("document.getElementById('chart').dataset.ticks").toString().split(' ');
    ASSERT_GE(ticks.size(), 3);
    const double step = ticks[1].toDouble() - ticks[0].toDouble();
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                std::abs(mantissa - 5) < 1e-9)
        << ticks.join(' ').toStdString();
    // The present current and state, as the main window shows them once the plant stands still.
    ui::MainWindow& window = running.Program().Main();
    running.Program().Recorder().StopTimers();
    emit running.Program().Recorder().scanned();
    const QString expected = window.CurrentLabel(37)->text() + QStringLiteral(" А, ");
    EXPECT_TRUE(browser.WaitFor(
        QStringLiteral("document.getElementById('now').textContent.startsWith('%1')").arg(expected), 10000))
        << browser.Evaluate("document.getElementById('now').textContent").toString().toStdString();
    EXPECT_EQ(browser.Evaluate("getComputedStyle(document.getElementById('now')).backgroundColor").toString(),
              Rgb(window.Panel(37)->Colour()));
    SaveShot(browser.Screenshot(1000, false), QStringLiteral("web-motor.png"));
}

TEST(WebPage, SaysWhenItHasLostTheProgramAndPicksUpAgainWhenItComesBack) {
    auto running = std::make_unique<RunningProgram>();
    const quint16 port = running->Port();
    ASSERT_NE(port, 0);
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << browser.Log().toStdString();
    browser.Open(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    ASSERT_TRUE(browser.WaitFor("Number(document.body.dataset.updates) >= 2", 15000));

    running.reset();
    ASSERT_TRUE(browser.WaitFor("document.getElementById('status').classList.contains('stale')", 10000));
    EXPECT_TRUE(browser.Evaluate("document.getElementById('when').textContent")
                    .toString()
                    .startsWith(QStringLiteral("нет связи с программой")));
    // Greyed out under the red line: the last colours must not pass for live ones.
    const QString sectionsGreyed =
        QStringLiteral("[...document.querySelectorAll('section')].every(s => getComputedStyle(s).filter === "
                       "'grayscale(1)' && Number(getComputedStyle(s).opacity) < 0.5)");
    EXPECT_TRUE(browser.Evaluate(sectionsGreyed).toBool());
    // The alarms too: without the fix their box stayed bright red.
    EXPECT_EQ(browser.Evaluate("getComputedStyle(document.getElementById('alarms')).filter").toString(),
              QStringLiteral("grayscale(1)"));
    SaveShot(browser.Screenshot(1280, false), QStringLiteral("web-lost.png"));

    running = std::make_unique<RunningProgram>(port);
    ASSERT_EQ(running->Port(), port);
    const int before = browser.Evaluate("Number(document.body.dataset.updates)").toInt();
    EXPECT_TRUE(
        browser.WaitFor(QStringLiteral("Number(document.body.dataset.updates) > %1 && "
                                       "!document.getElementById('status').classList.contains('stale')")
                            .arg(before + 1),
                        15000));
    EXPECT_FALSE(browser.Evaluate(sectionsGreyed).toBool());
}

// Without the fix the alarm box grew with its alarms and moved the panels under the operator's click,
// listed 20 of 48 without saying so, and named motors by their panels' caption lines.
TEST(WebPage, TheAlarmBoxKeepsItsHeightSaysHowManyItLeavesOutAndNamesMotorsByTheirSettings) {
    RunningProgram running;
    ASSERT_NE(running.Port(), 0);
    ui::Program& program = running.Program();
    program.Data().Ustavki[5].Name = common::MotorName::FromUtf8("Конвейер подачи");
    events::ActiveAlarms many, none; // 48, motor 5's the newest; and none
    for (int n = 1; n <= 49; ++n)
        many.Follow({.Time = common::SystemClock().Now(),
                     .Kind = events::EventKind::OverloadBegan,
                     .Channel = n == 49 ? 5 : n,
                     .Alarm = n != 5,
                     .Text = {}});
    const auto journal = [&] { return program.Station().JournalPath(common::SystemClock().Today()); };
    program.Web()->SetEvents(&none, journal);
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << browser.Log().toStdString();
    browser.Open(QStringLiteral("http://127.0.0.1:%1/").arg(running.Port()));
    browser.Resize(1280, 900, false);
    ASSERT_TRUE(browser.WaitFor("document.querySelector('#alarms b').textContent === 'Тревог нет'", 15000));
    const QString place = QStringLiteral("[document.getElementById('alarms').offsetHeight, "
                                         "document.getElementById('Pan1').getBoundingClientRect().top]");
    const QJsonValue empty = browser.Evaluate(place);

    program.Web()->SetEvents(&many, journal);
    ASSERT_TRUE(browser.WaitFor("document.querySelector('#alarms b').textContent === 'Тревоги: 48'", 10000));
    EXPECT_EQ(browser.Evaluate(place), empty);
    EXPECT_TRUE(browser
                    .Evaluate("(l => l.children.length === 20 && l.scrollHeight > l.clientHeight)("
                              "document.querySelector('#alarms ul'))")
                    .toBool());
    EXPECT_TRUE(browser.Evaluate("document.getElementById('unlisted').textContent")
                    .toString()
                    .contains(QStringLiteral("ещё 28 не показаны")));
    EXPECT_TRUE(
        browser.Evaluate("document.querySelector('#alarms li').textContent")
            .toString()
            .startsWith(QStringLiteral("перегрузка: Конвейер подачи (Массоподготовка, канал 5), с ")));
    SaveShot(browser.Screenshot(1280, false), QStringLiteral("web-48-alarms.png"));
    Exchange motor;
    RunBeside([&] { motor = Send(running.Port(), Get("/motor/5")); }, std::chrono::seconds(10));
    EXPECT_NE(motor.Body.find("канал 5 · Массоподготовка · <b>Конвейер подачи</b>"), std::string::npos);
}

} // namespace registrator::web::testing
