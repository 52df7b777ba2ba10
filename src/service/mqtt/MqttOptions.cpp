#include "common/PrivateFile.h"
#include "common/Utf8Path.h"
#include "service/mqtt/MqttPublisher.h"

#include <cctype>
#include <cstdio>
#include <fstream>

namespace registrator::service {

std::string SayLeftover(const MqttLeftover& left) {
    if (left.Records + left.Lines == 0)
        return {};
    std::fprintf(
        stderr,
        "Registrator: MQTT: left for the next start, not acknowledged: %llu records, %llu journal lines\n",
        static_cast<unsigned long long>(left.Records), static_cast<unsigned long long>(left.Lines));
    return "MQTT: не отправлено записей " + std::to_string(left.Records) + ", строк журнала " +
           std::to_string(left.Lines) + ", уйдут при следующем запуске";
}

bool MqttSettingsFrom(const MqttOptions& options, const std::string& archiveFolder, MqttSettings& settings,
                      std::string& why) {
    if (!ParseMqttUrl(options.Url, settings)) {
        why = "not an mqtt:// or mqtts:// address: " + options.Url;
        return false;
    }
    if (!options.CredentialsFile.empty() && !ReadMqttCredentials(options.CredentialsFile, settings, why))
        return false;
    settings.Station = options.Station;
    settings.RecordsPerSecond = options.RecordsPerSecond;
    settings.ArchiveFolder = archiveFolder;
    // One cursor per broker: a second broker gets every record too.
    std::string broker = settings.Host + "-" + std::to_string(settings.Port);
    for (char& c : broker)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.')
            c = '_';
    settings.CursorPath = archiveFolder + "mqtt-" + broker + ".cursor";
    settings.EventsCursorPath = archiveFolder + "mqtt-" + broker + ".events.cursor";
    return true;
}

bool ParseMqttUrl(const std::string& url, MqttSettings& settings) {
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        settings.Tls = false;
        settings.Port = 1883;
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        settings.Tls = true;
        settings.Port = 8883;
        rest = url.substr(8);
    } else {
        return false;
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.empty())
        return false;
    // "[::1]:1883" keeps the colons of its address inside the brackets.
    const std::size_t close = rest.front() == '[' ? rest.find(']') : 0;
    if (close == std::string::npos)
        return false;
    const std::size_t colon = rest.find(':', close);
    if (colon != std::string::npos) {
        const std::string port = rest.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const int number = std::stoi(port);
        if (number < 1 || number > 65535)
            return false;
        settings.Port = number;
        rest = rest.substr(0, colon);
    }
    if (rest.size() > 2 && rest.front() == '[' && rest.back() == ']')
        rest = rest.substr(1, rest.size() - 2);
    if (rest.empty() || rest.find_first_of("/@ ") != std::string::npos)
        return false;
    settings.Host = rest;
    return true;
}

bool ReadMqttCredentials(const std::string& path, MqttSettings& settings, std::string& error) {
    if (!common::KeptFromOthers(path, error))
        return false;
    std::ifstream in(common::PathFromUtf8(path), std::ios::binary);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
        error = path + " does not hold user:password";
        return false;
    }
    settings.User = line.substr(0, colon);
    settings.Password = line.substr(colon + 1);
    return true;
}

} // namespace registrator::service
