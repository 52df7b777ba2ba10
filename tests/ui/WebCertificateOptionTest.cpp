#include "ui/app/CommandLine.h"

#include <gtest/gtest.h>

namespace registrator::ui {
namespace {

TEST(CommandLine, TakesTheWebCertificateWithItsKeyOrSelfAndOnlyBesideWeb) {
    const auto own = ParseCommandLine({"Registrator", "--web", "0.0.0.0:8443", "--web-certificate",
                                       "station.pem", "--web-key=station.key"});
    EXPECT_TRUE(own.Error.isEmpty()) << own.Error.toStdString();
    EXPECT_EQ(own.WebCertificate, QStringLiteral("station.pem"));
    EXPECT_EQ(own.WebKey, QStringLiteral("station.key"));
    EXPECT_TRUE(
        ParseCommandLine({"Registrator", "--web", "0.0.0.0:8443", "--web-certificate=self"}).Error.isEmpty());
    // Half an HTTPS request is refused at once, never left to serve plain HTTP or nothing.
    for (const QStringList& wrong :
         {QStringList{"Registrator", "--web-certificate", "self"},
          QStringList{"Registrator", "--web", "0.0.0.0:8443", "--web-certificate", "station.pem"},
          QStringList{"Registrator", "--web", "0.0.0.0:8443", "--web-key", "station.key"},
          QStringList{"Registrator", "--web", "0.0.0.0:8443", "--web-certificate", "self", "--web-key", "k"},
          QStringList{"Registrator", "--web", "0.0.0.0:8443", "--web-certificate"}})
        EXPECT_FALSE(ParseCommandLine(wrong).Error.isEmpty()) << wrong.join(' ').toStdString();
}

} // namespace
} // namespace registrator::ui
