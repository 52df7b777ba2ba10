#ifdef _WIN32

#include "service/recorder/Station.h"
#include "ui/app/WindowsService.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <atomic>
#include <cstdio>
#include <future>
#include <mutex>
#include <thread>
#include <vector>
#include <windows.h>

namespace registrator::ui {

namespace {

const wchar_t* const kName = L"Registrator";
// Long enough for a start that mends a torn journal or an end that saves 72 channels on a slow disk;
// every channel read or saved moves the checkpoint on.
constexpr DWORD kPendingHint = 30000;

std::wstring Wide(const QString& text) {
    return text.toStdWString();
}

void SayError(const char* what) {
    const DWORD error = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString reason = text ? QString::fromWCharArray(text).trimmed() : QString::number(error);
    LocalFree(text);
    std::fprintf(stderr, "Registrator: %s: %s\n", what, qPrintable(reason));
}

// A handle closed whatever way the command ends.
struct Handle {
    SC_HANDLE Value = nullptr;
    explicit Handle(SC_HANDLE value) : Value(value) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (Value)
            CloseServiceHandle(Value);
    }
    explicit operator bool() const { return Value != nullptr; }
};

int Install(SC_HANDLE manager, const QString& commandLine) {
    const std::wstring line = Wide(commandLine);
    Handle service(CreateServiceW(manager, kName, kName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                  SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, line.c_str(), nullptr, nullptr,
                                  nullptr, nullptr /* the system account */, nullptr));
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS) {
        // Installed again: with this command line, so that options can be changed this way.
        service.Value = OpenServiceW(manager, kName, SERVICE_ALL_ACCESS);
        if (service &&
            !ChangeServiceConfigW(service.Value, SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE,
                                  line.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)) {
            SayError("cannot change the service");
            return 1;
        }
    }
    if (!service) {
        SayError("cannot register the service");
        return 1;
    }
    std::wstring about = L"Records the currents of the plant's motors without windows, in its own folder";
    SERVICE_DESCRIPTIONW description{about.data()};
    ChangeServiceConfig2W(service.Value, SERVICE_CONFIG_DESCRIPTION, &description);
    // Restarted 10 s after a failure, again after the second, then every minute; a day without one
    // starts the count anew.
    SC_ACTION actions[] = {
        {SC_ACTION_RESTART, 10000}, {SC_ACTION_RESTART, 10000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSW failure{86400, nullptr, nullptr, 3, actions};
    // An end with a status other than 0 (a port that would not open) is a failure too.
    SERVICE_FAILURE_ACTIONS_FLAG onStatus{TRUE};
    if (!ChangeServiceConfig2W(service.Value, SERVICE_CONFIG_FAILURE_ACTIONS, &failure))
        SayError("the service is registered, but without its restart on failure");
    else if (!ChangeServiceConfig2W(service.Value, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onStatus))
        SayError("the service is registered and restarted when it fails, but not after an end with a status");
    std::printf("Registrator: the service \"Registrator\" is registered (automatic start): %s\n",
                qPrintable(commandLine));
    return 0;
}

int Remove(SC_HANDLE manager) {
    Handle service(OpenServiceW(manager, kName, DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) {
        SayError("cannot open the service");
        return 1;
    }
    SERVICE_STATUS status{};
    if (ControlService(service.Value, SERVICE_CONTROL_STOP, &status)) {
        // The recorder saves its settings first; a minute at most.
        for (int i = 0; i < 240 && status.dwCurrentState != SERVICE_STOPPED; ++i) {
            Sleep(250);
            if (!QueryServiceStatus(service.Value, &status))
                break;
        }
    }
    if (!DeleteService(service.Value)) {
        SayError("cannot remove the service");
        return 1;
    }
    std::printf("Registrator: the service \"Registrator\" is removed\n");
    return 0;
}

int Status(SC_HANDLE manager) {
    Handle service(OpenServiceW(manager, kName, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service) {
        if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            std::printf("Registrator: the service \"Registrator\" is not installed\n");
            return 1;
        }
        SayError("cannot open the service");
        return 1;
    }
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.Value, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed)) {
        SayError("cannot ask the service");
        return 1;
    }
    const char* state = "stopped";
    switch (status.dwCurrentState) {
    case SERVICE_RUNNING:
        state = "running";
        break;
    case SERVICE_START_PENDING:
        state = "starting";
        break;
    case SERVICE_STOP_PENDING:
        state = "stopping";
        break;
    default:
        break;
    }
    std::printf("Registrator: the service \"Registrator\" is %s", state);
    if (status.dwProcessId)
        std::printf(" (process %lu)", static_cast<unsigned long>(status.dwProcessId));
    std::printf("\n");
    QueryServiceConfigW(service.Value, nullptr, 0, &needed);
    std::vector<BYTE> config(needed);
    if (needed && QueryServiceConfigW(service.Value, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                                      needed, &needed))
        std::printf("  %s\n",
                    qPrintable(QString::fromWCharArray(
                        reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->lpBinaryPathName)));
    return status.dwCurrentState == SERVICE_RUNNING ? 0 : 1;
}

} // namespace

int RunServiceCommand(const QString& action, const QStringList& arguments, const QString& executable) {
    const bool changes = action != QLatin1String("status");
    Handle manager(OpenSCManagerW(nullptr, nullptr, changes ? SC_MANAGER_ALL_ACCESS : SC_MANAGER_CONNECT));
    if (!manager) {
        SayError(changes ? "cannot reach the service control manager (run it as administrator)"
                         : "cannot reach the service control manager");
        return 1;
    }
    if (action == QLatin1String("install"))
        return Install(manager.Value, ServiceCommandLine(QDir::toNativeSeparators(executable), arguments));
    if (action == QLatin1String("remove"))
        return Remove(manager.Value);
    return Status(manager.Value);
}

// What the control manager's threads and the recorder's share; one service per process.
struct ServiceSession::State {
    ServiceSession* Owner = nullptr;
    std::mutex Lock;
    SERVICE_STATUS_HANDLE StatusHandle = nullptr;
    SERVICE_STATUS Status{};
    std::promise<bool> Connected;
    HANDLE Stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread Dispatcher;

    void Report(DWORD state, DWORD exitCode = 0) {
        std::lock_guard guard(Lock);
        if (!StatusHandle)
            return;
        Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        Status.dwCurrentState = state;
        Status.dwControlsAccepted =
            state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
        const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
        Status.dwCheckPoint = pending ? Status.dwCheckPoint + 1 : 0;
        Status.dwWaitHint = pending ? kPendingHint : 0;
        Status.dwWin32ExitCode = exitCode ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
        Status.dwServiceSpecificExitCode = exitCode;
        SetServiceStatus(StatusHandle, &Status);
    }
};

namespace {
std::atomic<ServiceSession::State*> current{nullptr};

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    ServiceSession::State* state = current.load();
    if (!state)
        return ERROR_CALL_NOT_IMPLEMENTED;
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        state->Report(SERVICE_STOP_PENDING);
        // The recorder's thread ends it, as it does for SIGTERM.
        QMetaObject::invokeMethod(
            state->Owner, [owner = state->Owner] { emit owner->endRequested(); }, Qt::QueuedConnection);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    ServiceSession::State* state = current.load();
    {
        std::lock_guard guard(state->Lock);
        state->StatusHandle = RegisterServiceCtrlHandlerExW(kName, OnControl, nullptr);
    }
    if (!state->StatusHandle) {
        state->Connected.set_value(false);
        return;
    }
    state->Report(SERVICE_START_PENDING);
    state->Connected.set_value(true);
    // Returning would let the dispatcher end before the recorder has said it stopped.
    WaitForSingleObject(state->Stopped, INFINITE);
}
} // namespace

ServiceSession::ServiceSession() : state_(std::make_unique<State>()) {
    state_->Owner = this;
}

ServiceSession::~ServiceSession() {
    SetEvent(state_->Stopped);
    if (state_->Dispatcher.joinable())
        state_->Dispatcher.join();
    current = nullptr;
    CloseHandle(state_->Stopped);
}

bool ServiceSession::Connect() {
    current = state_.get();
    std::future<bool> connected = state_->Connected.get_future();
    // The dispatcher keeps its thread until the service stops; the recorder keeps this one.
    state_->Dispatcher = std::thread([state = state_.get()] {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kName), ServiceMain}, {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table)) {
            SayError("--service run is for the service control manager to start (install the service with "
                     "--service install)");
            try {
                state->Connected.set_value(false);
            } catch (const std::future_error&) {
                // ServiceMain said so already.
            }
        }
    });
    if (!connected.get())
        return false;
    // Started in the system folder: the settings beside the executable, Data under the working folder.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    return true;
}

void ServiceSession::ReportRunning() {
    state_->Report(SERVICE_RUNNING);
}

void ServiceSession::ReportStopped(int status) {
    state_->Report(SERVICE_STOPPED, static_cast<DWORD>(status));
    SetEvent(state_->Stopped);
}

void ServiceSession::Advance() {
    std::lock_guard guard(state_->Lock);
    const DWORD state = state_->Status.dwCurrentState;
    if (state_->StatusHandle && (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)) {
        ++state_->Status.dwCheckPoint;
        SetServiceStatus(state_->StatusHandle, &state_->Status);
    }
}

} // namespace registrator::ui

#endif
