// Computer names as the user types them, and the network service names
// made of them.
#include <gtest/gtest.h>

#include "ServiceName.h"

namespace {

using namespace vokar::netdde;

TEST(ServiceName, IsTheComputerAsEnteredFollowedByTheShare) {
  EXPECT_EQ(MakeServiceName("ALA"), "ALA\\NDDE$\\");
  EXPECT_EQ(MakeServiceName("\\\\NAME"), "\\\\NAME\\NDDE$\\");
  EXPECT_EQ(MakeServiceName("ala.local:7050"), "ala.local:7050\\NDDE$\\");
}

TEST(ServiceName, ComputersAndTheirPorts) {
  struct Case {
    const char* text;
    const char* host;  // nullptr: refused
    int port;
  };
  const Case cases[] = {
      {"ala", "ala", 7047},
      {"  ala  ", "ala", 7047},
      {"\\\\ALA", "ALA", 7047},
      {"ala.local:7050", "ala.local", 7050},
      {"192.168.1.5", "192.168.1.5", 7047},
      {"192.168.1.5:1", "192.168.1.5", 1},
      {"192.168.1.5:65535", "192.168.1.5", 65535},
      {"192.168.1.5:65536", nullptr, 0},
      {"192.168.1.5:0", nullptr, 0},
      {"ala:", nullptr, 0},
      {"ala:7x", nullptr, 0},
      {"::1", "::1", 7047},
      {"[::1]", "::1", 7047},
      {"[::1]:7050", "::1", 7050},
      {"[fe80::1%eth0]:7050", "fe80::1%eth0", 7050},
      {"[::1]7050", nullptr, 0},
      {"[ala]:7050", nullptr, 0},
      {"[::1", nullptr, 0},
      {"", nullptr, 0},
      {"   ", nullptr, 0},
      {"\\\\", nullptr, 0},
      {"ala ma", nullptr, 0},
      {"ala/kot", nullptr, 0},
      {"ala\\kot", nullptr, 0},
  };
  for (const Case& c : cases) {
    const auto address = ParseComputer(c.text, 7047);
    if (c.host == nullptr) {
      EXPECT_FALSE(address.has_value()) << "'" << c.text << "'";
      continue;
    }
    ASSERT_TRUE(address.has_value()) << "'" << c.text << "'";
    EXPECT_EQ(address->host, c.host);
    EXPECT_EQ(address->port, c.port) << "'" << c.text << "'";
  }
}

TEST(ServiceName, OnlyNamesOfTheShareLeadToAComputer) {
  EXPECT_EQ(ParseServiceName("ala\\NDDE$\\", 7047)->host, "ala");
  EXPECT_EQ(ParseServiceName("ala\\ndde$\\", 7047)->host, "ala");
  EXPECT_EQ(ParseServiceName("\\\\ala:7100\\NDDE$\\", 7047)->port, 7100);
  EXPECT_FALSE(ParseServiceName("Vokar", 7047));
  EXPECT_FALSE(ParseServiceName("\\NDDE$\\", 7047));
  EXPECT_FALSE(ParseServiceName("ala\\NDDE$", 7047));
}

TEST(ServiceName, ComputerTextsForTheBrowseDialog) {
  EXPECT_EQ(FormatComputer({"192.168.1.5", 7047}, 7047), "192.168.1.5");
  EXPECT_EQ(FormatComputer({"192.168.1.5", 7050}, 7047), "192.168.1.5:7050");
  EXPECT_EQ(FormatComputer({"fd00::5", 7050}, 7047), "[fd00::5]:7050");
  // What the dialog writes, the sender reads back to the same place.
  const auto back = ParseComputer(FormatComputer({"fd00::5", 7050}, 7047), 7047);
  EXPECT_EQ(back->host, "fd00::5");
  EXPECT_EQ(back->port, 7050);
}

}  // namespace
