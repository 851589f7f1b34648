#include <string>

#include "platform/text_conversion.h"
#include "service_fixture.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class DiscoveryTest : public ServiceTest {
protected:
    void SetUp() override {
        discovery_ = AnswerDiscoveryProbe;
        handler_.HardwareAddressText = "00-1A-2B-3C-4D-5E";
        handler_.SetComputerName("OFFICE-PC");
        ServiceTest::SetUp();
    }
    std::uint16_t Udp() const { return server_->DiscoveryPort(); }
};

TEST_F(DiscoveryTest, ProbeIsAnsweredToItsSourcePort) {
    CaptureStdout();
    std::uint16_t from = 0;
    std::string reply = Probe(Udp(), "Vola:phone-1,hello\n", 2000, &from);
    EXPECT_EQ(GetCapturedStdout(), "STA: CID=phone-1, PP=hello\n");
    EXPECT_EQ(reply, "Vola:00-1A-2B-3C-4D-5E,OFFICE-PC,33589\n");
    EXPECT_EQ(reply.size(), 39u);
    EXPECT_EQ(from, Udp());

    CaptureStdout();
    EXPECT_EQ(Probe(Udp(), "Vola:bare"), reply);
    EXPECT_EQ(GetCapturedStdout(), "STA: CID=bare, PP=\n");
}

TEST_F(DiscoveryTest, OtherDatagramsAreIgnored) {
    for (const char* junk : {"vola:phone,x\n", "VOLA:phone\n", "Hello", "Vol", ""}) {
        EXPECT_EQ(Probe(Udp(), junk, 300), "") << junk;
    }
    // Ignored datagrams do not disturb the responder.
    EXPECT_EQ(Probe(Udp(), "Vola:after\n"), "Vola:00-1A-2B-3C-4D-5E,OFFICE-PC,33589\n");
}

TEST_F(DiscoveryTest, NameIsAnnouncedWithoutCommasAndInUtf8) {
    handler_.SetComputerName("Room 4, Hall B");
    EXPECT_EQ(Probe(Udp(), "Vola:p\n"), "Vola:00-1A-2B-3C-4D-5E,Room 4. Hall B,33589\n");
    std::string stored;
    ASSERT_TRUE(handler_.stationTable.Lookup("p", &stored));
    EXPECT_EQ(stored, "Room 4. Hall B");
#if !defined(_WIN32)
    // Program text is UTF-8 here, so it goes out unchanged.
    handler_.SetComputerName("会议室");
    EXPECT_EQ(Probe(Udp(), "Vola:p\n"), "Vola:00-1A-2B-3C-4D-5E,会议室,33589\n");
#endif
}

TEST_F(DiscoveryTest, LongNamesAreCutOnWholeCharactersAndProbesShownEscaped) {
    std::string umlauts;
    for (int i = 0; i < 130; ++i) umlauts += "\xC3\x9C";  // Ü: 260 bytes in UTF-8
    handler_.SetComputerName(Utf8ToAnsi(umlauts));
    CaptureStdout();
    const std::string reply = Probe(Udp(), "Vola:\x1b]0;x\x07,\x1b[2J\n");
    // The terminal is shown what came, and is not told to do anything.
    EXPECT_EQ(GetCapturedStdout(), "STA: CID=\\x1b]0;x\\x07, PP=\\x1b[2J\n");
    const std::string prefix = "Vola:00-1A-2B-3C-4D-5E,";
    const std::string suffix = ",33589\n";
    ASSERT_GT(reply.size(), prefix.size() + suffix.size()) << reply;
    ASSERT_EQ(reply.compare(0, prefix.size(), prefix), 0) << reply;
    ASSERT_EQ(reply.compare(reply.size() - suffix.size(), suffix.size(), suffix), 0) << reply;
    // 129 whole characters, within the 259 bytes a name may have.
    EXPECT_EQ(reply.substr(prefix.size(), reply.size() - prefix.size() - suffix.size()),
              umlauts.substr(0, 258));
    // The recorded name is cut on a whole character of the program's own text too.
    std::string stored;
    ASSERT_TRUE(handler_.stationTable.Lookup("\x1b]0;x\x07", &stored));
    EXPECT_EQ(AnsiToUtf8(stored), umlauts.substr(0, AnsiToUtf8(stored).size()));
}

TEST_F(DiscoveryTest, ProbesFillTheStationTableAndRenamesOverwrite) {
    Probe(Udp(), "Vola:a,1\n");
    Probe(Udp(), "Vola:b\n");
    handler_.SetComputerName("RENAMED");
    Probe(Udp(), "Vola:a,2\n");
    EXPECT_EQ(handler_.stationTable.Size(), 2u);
    std::string name;
    ASSERT_TRUE(handler_.stationTable.Lookup("a", &name));
    EXPECT_EQ(name, "RENAMED");
    ASSERT_TRUE(handler_.stationTable.Lookup("b", &name));
    EXPECT_EQ(name, "OFFICE-PC");
    EXPECT_FALSE(handler_.stationTable.Lookup("never probed", &name));
}

#if !defined(_WIN32)
// Many phones at once (Linux: Wine's thread start-up makes this slow there).
TEST_F(ServiceTest, ServesAThousandLoggedInPhonesAtOnce) {
    constexpr int kPhones = 1000;
    std::vector<std::unique_ptr<PhoneClient>> phones;
    for (int i = 0; i < kPhones; ++i) {
        phones.push_back(std::make_unique<PhoneClient>(Port()));
        ASSERT_TRUE(phones.back()->Connected()) << i;
        ASSERT_TRUE(phones.back()->SendLine("Login:p" + std::to_string(i) + ",735"));
    }
    int answered = 0;
    for (auto& phone : phones) {
        if (phone->ReadLine(10000) == "Login:OK\n") ++answered;
    }
    EXPECT_EQ(answered, kPhones);
    EXPECT_EQ(server_->ActiveConnections(), static_cast<std::uint32_t>(kPhones));
    for (auto& phone : phones) ASSERT_TRUE(phone->SendLine("Heartbeat:"));
    int beats = 0;
    for (auto& phone : phones) {
        if (phone->ReadLine(10000) == "Heartbeat:\n") ++beats;
    }
    EXPECT_EQ(beats, kPhones);
}
#endif
