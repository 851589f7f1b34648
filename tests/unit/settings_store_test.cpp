#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_text.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "shell/settings_store.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/autostart_posix.h"
#include "platform/posix/xdg_places.h"
#endif

namespace fs = std::filesystem;

namespace {

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string> g_notices;
void RecordNotice(const char* text) { g_notices.push_back(text); }

// Every case works on the real default file beside the test program and removes it afterwards.
class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsPathForTesting("");
        path_ = SettingsFilePath();
        std::remove(path_.c_str());
        g_notices.clear();
        previousNotice_ = SetSettingsNoticeForTesting(&RecordNotice);
    }
    void TearDown() override {
        SetSettingsNoticeForTesting(previousNotice_);
        SetSettingsPathForTesting("");
        std::remove(path_.c_str());
    }

    std::string path_;
    SettingsNotice previousNotice_ = nullptr;
};

}  // namespace

TEST(SettingsPath, IsBesideTheExecutable) {
    std::string exe = ExecutablePath();
#if defined(_WIN32)
    EXPECT_EQ(SettingsFilePath(), exe.substr(0, exe.rfind('\\')) + "\\CorvaneServer.ini");
    EXPECT_EQ(SettingsPathFor("C:\\Corvane\\CorvaneServer.exe"), "C:\\Corvane\\CorvaneServer.ini");
#else
    EXPECT_EQ(SettingsFilePath(), exe.substr(0, exe.rfind('/')) + "/CorvaneServer.ini");
    EXPECT_EQ(SettingsPathFor("/opt/a\\b/server"), "/opt/a\\b/CorvaneServer.ini");  // \ is a name
#endif
}

TEST(SettingText, FlagsAreYesExactlyAndNumbersReadLikeAtoi) {
    EXPECT_TRUE(SettingIsYes("yes"));
    for (const char* text : {"Yes", "YES", " yes", "yes ", ""}) EXPECT_FALSE(SettingIsYes(text));
    const std::pair<const char*, int> numbers[] = {{"250", 250},
                                                   {"abc", 0},
                                                   {"", 0},
                                                   {"12abc", 12},
                                                   {" \t-7", -7},
                                                   {"- 8", 0},
                                                   {"99999999999999999999", 2147483647},
                                                   {"-2147483648", -2147483647 - 1}};
    for (const auto& [text, value] : numbers) EXPECT_EQ(SettingAsInt(text), value) << text;
}

TEST_F(SettingsStoreTest, HandWrittenFileReadsLooselyAndKeepsEverythingThroughWrites) {
    const std::string original =
        "; CorvaneServer settings\r\n"
        "[Other]\r\n"
        "Passwd=not ours\r\n"
        "; note\r\n"
        "[corvaneserver]\r\n"
        "  passwd  =  4711  \r\n"
        "AUTOSTART=Yes\r\n"
        "; hand-made comment\r\n"
        "iVert=\tletters\r\n"
        "[Later]\r\n"
        "z=3\r\n";
    WriteAll(path_, original);
    EXPECT_EQ(ReadSetting("Passwd"), "4711");
    EXPECT_FALSE(SettingIsYes(ReadSetting(kAutoStartKey)));  // "Yes" with a capital means off
    EXPECT_EQ(SettingAsInt(ReadSetting(kVertKey)), 0);

    WriteSetting(kPasswdKey, "secret");
    WriteSetting(kVertKey, "75");
    WriteSetting(kHorzKey, "50");
    EXPECT_EQ(ReadSetting(kPasswdKey), "secret");
    EXPECT_EQ(ReadSetting(kVertKey), "75");
    EXPECT_EQ(ReadSetting(kHorzKey), "50");
    std::string text = ReadFileText(path_);
#if defined(_WIN32)
    // The system's writer may reflow blanks; other lines must survive in their order.
    size_t at = 0;
    for (const char* kept : {"; CorvaneServer settings\r\n[Other]\r\nPasswd=not ours\r\n; note\r\n",
                             "AUTOSTART=Yes\r\n; hand-made comment\r\n", "[Later]\r\nz=3\r\n"}) {
        at = text.find(kept, at);
        ASSERT_NE(at, std::string::npos) << "lost or moved: " << kept << "\nin:\n" << text;
    }
#else
    // Ours changes nothing but the lines concerned, and leaves no temporary file behind.
    EXPECT_EQ(text,
              "; CorvaneServer settings\r\n[Other]\r\nPasswd=not ours\r\n; note\r\n"
              "[corvaneserver]\r\npasswd=secret\r\nAUTOSTART=Yes\r\n; hand-made comment\r\n"
              "iVert=75\r\niHorz=50\r\n[Later]\r\nz=3\r\n");
    for (const auto& entry : fs::directory_iterator(fs::path(path_).parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".ini.tmp"), std::string::npos);
    }
#endif
}

TEST_F(SettingsStoreTest, MissingFileReadsEmptyAndLongValuesReadBackCut) {
    EXPECT_EQ(ReadSetting(kPcNameKey), "");
    std::string value;
    for (int i = 0; i < 1500; ++i) value += static_cast<char>('a' + i % 26);
    WriteSetting(kPcNameKey, value);
    EXPECT_EQ(ReadSetting(kPcNameKey), value.substr(0, 1023));
    std::string text = ReadFileText(path_);  // the first write made the file
    EXPECT_EQ(text.find("[CorvaneServer]"), 0u);
    EXPECT_NE(text.find(value), std::string::npos);  // only the read is limited
}

TEST_F(SettingsStoreTest, WritesFromTwoThreadsAllLand) {
    auto writer = [](std::string prefix) {
        for (int i = 0; i < 40; ++i) WriteSetting(prefix + std::to_string(i), std::to_string(i));
    };
    std::thread a(writer, "a"), b(writer, "b");
    a.join();
    b.join();
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(ReadSetting("a" + std::to_string(i)), std::to_string(i));
        EXPECT_EQ(ReadSetting("b" + std::to_string(i)), std::to_string(i));
    }
}

TEST_F(SettingsStoreTest, AFileThatCannotBeWrittenLosesWritesSilently) {
    SetSettingsPathForTesting(path_ + ".missing-folder/CorvaneServer.ini");
    WriteSetting(kPasswdKey, "lost");
    EXPECT_EQ(ReadSetting(kPasswdKey), "");
}

TEST_F(SettingsStoreTest, ValuesWithBlanksOrQuotesAtTheirEndsReadBackExactly) {
    for (const std::string value :
         {"  pass word  ", "\"quoted\"", "'single'", "\tTab", "end ", "\"half", "\"\"", "plain"}) {
        WriteSetting(kPasswdKey, value);
        EXPECT_EQ(ReadSetting(kPasswdKey), value);
    }
    WriteSetting(kPcNameKey, " Lab PC ");
    EXPECT_EQ(ReadSetting(kPcNameKey), " Lab PC ");
    // Values that read back anyway are stored as they are.
    WriteSetting(kShowMainKey, "yes");
    const std::string text = ReadFileText(path_);
    auto hasLine = [&text](const std::string& line) {
        const size_t at = text.find(line);
        return at != std::string::npos && at + line.size() < text.size() &&
               (text[at + line.size()] == '\r' || text[at + line.size()] == '\n');
    };
    EXPECT_TRUE(hasLine("PcName=\" Lab PC \"")) << text;
    EXPECT_TRUE(hasLine("Passwd=plain")) << text;
    EXPECT_TRUE(hasLine("ShowMain=yes")) << text;

    // Files written before read as they always did: blanks trimmed, one pair of quotes removed.
    WriteAll(path_, "[CorvaneServer]\r\nPasswd=  old  \r\nPcName='Lab'\r\n");
    EXPECT_EQ(ReadSetting(kPasswdKey), "old");
    EXPECT_EQ(ReadSetting(kPcNameKey), "Lab");
}

// The same file read here and by the Windows profile functions (this test under Wine) gives the
// same values: some editors end lines in CR CR LF, and a lone CR ends a line too.
TEST_F(SettingsStoreTest, CarriageReturnsReadAsTheWindowsProgramReadsThem) {
    WriteAll(path_,
             "[CorvaneServer]\r\r\n"
             "AutoStart=yes\r\r\n"
             "Passwd=735\r\r\n"
             "iVert= 70 \r\r\n"
             "iHorz=30\rShowMain=no\r"
             "[Other]\r\r\n"
             "Passwd=other\r\r\n");
    EXPECT_EQ(ReadSetting(kAutoStartKey), "yes");
    EXPECT_TRUE(SettingIsYes(ReadSetting(kAutoStartKey)));
    EXPECT_EQ(ReadSetting(kPasswdKey), "735");
    EXPECT_EQ(ReadSetting(kVertKey), "70");
    EXPECT_EQ(ReadSetting(kHorzKey), "30");
    EXPECT_EQ(ReadSetting(kShowMainKey), "no");
    EXPECT_EQ(ReadProfileValue(path_, "Other", "Passwd"), "other");
#if !defined(_WIN32)
    // A section's name ends at its first "]", as Windows reads it (Wine, which runs this test
    // for the Windows program here, ends it at the last one).
    WriteAll(path_, "[CorvaneServer]x]\nPasswd=4711\n");
    EXPECT_EQ(ReadSetting(kPasswdKey), "4711");
#endif
}

TEST_F(SettingsStoreTest, AutoStartNoticesAreTheFixedChineseTexts) {
#if defined(_WIN32)
    auto gbk = [](const char* text) {  // GBK whatever the system's own code page
        wchar_t wide[64] = {};
        int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, text, -1, wide, 64);
        return std::u16string(reinterpret_cast<const char16_t*>(wide), n > 0 ? n - 1 : 0);
    };
    EXPECT_EQ(gbk(kAutoStartOpenFailedText), u"不能打开注册表");
    EXPECT_EQ(gbk(kAutoStartWriteFailedText), u"不能向注册表写入信息。");
#else
    EXPECT_STREQ(kAutoStartOpenFailedText, "不能打开注册表");
    EXPECT_STREQ(kAutoStartWriteFailedText, "不能向注册表写入信息。");
#endif
}

#if defined(_WIN32)

// The Run value's data, type and stored size; false when it is missing.
static bool QueryRunValue(std::string* data, DWORD* type, DWORD* size) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "software\\microsoft\\windows\\currentversion\\Run", 0,
                      KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[1024] = {};
    *size = sizeof buffer - 1;
    LONG status =
        RegQueryValueExA(key, "VolaServer", nullptr, type, reinterpret_cast<BYTE*>(buffer), size);
    RegCloseKey(key);
    *data = buffer;
    return status == ERROR_SUCCESS;
}

TEST_F(SettingsStoreTest, AutoStartOnSetsTheRunValueAndOffDeletesIt) {
    std::string data;
    DWORD type = 0, size = 0;
    EXPECT_TRUE(ApplyAutoStart(true));
    ASSERT_TRUE(QueryRunValue(&data, &type, &size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, ExecutablePath());  // plain path: no quotes, no arguments
    EXPECT_EQ(size, data.size() + 1);   // the final zero is stored
    EXPECT_EQ(ReadSetting(kAutoStartKey), "yes");

    EXPECT_FALSE(ApplyAutoStart(false));
    EXPECT_FALSE(QueryRunValue(&data, &type, &size));
    EXPECT_EQ(ReadSetting(kAutoStartKey), "no");
    EXPECT_FALSE(ApplyAutoStart(false));  // nothing to delete is no failure
    EXPECT_TRUE(g_notices.empty());
}

#else

namespace {

// XDG_CONFIG_HOME and HOME point into a fresh folder for the case and are put back afterwards.
class AutoStartTest : public SettingsStoreTest {
protected:
    void SetUp() override {
        SettingsStoreTest::SetUp();
        char pattern[] = "/tmp/corvane-autostart-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "HOME"}) {
            const char* value = getenv(name);
            saved_.emplace_back(name, value ? value : "");
        }
        setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
        setenv("HOME", (root_ + "/home").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
        }
        chmod((root_ + "/config/autostart").c_str(), 0700);
        if (!root_.empty()) fs::remove_all(root_);
        SettingsStoreTest::TearDown();
    }

    // The default notice logs; the log echoes to standard output.
    std::string LoggedBy(bool enabled, bool* state) {
        SetSettingsNoticeForTesting(nullptr);
        testing::internal::CaptureStdout();
        *state = ApplyAutoStart(enabled);
        return testing::internal::GetCapturedStdout();
    }

    std::string root_;
    std::vector<std::pair<std::string, std::string> > saved_;
};

}  // namespace

TEST(DesktopEntry, ExecQuotesThePathAndEscapesForBothLayers) {
    EXPECT_EQ(DesktopExecValue("/home/ann/My Apps/server"), "\"/home/ann/My Apps/server\"");
    // As an argument: \" \` \$ \\ ; then as a string value every backslash doubles again.
    EXPECT_EQ(DesktopExecValue("/a\"b`c$d\\e"), "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"");
    // Percent signs double (field codes); tabs and line breaks become string escapes.
    EXPECT_EQ(DesktopExecValue("/x/100%/a\tb\nc"), "\"/x/100%%/a\\tb\\nc\"");
}

TEST_F(AutoStartTest, OnWritesTheDesktopEntryAndOffRemovesIt) {
    const std::string entry = root_ + "/config/autostart/VolaServer.desktop";
    EXPECT_EQ(AutoStartEntryPath(), entry);
    EXPECT_TRUE(ApplyAutoStart(true));
    EXPECT_EQ(ReadFileText(entry),
              "[Desktop Entry]\nType=Application\nName=CorvaneServer\n"
              "Exec=\"" +
                  ExecutablePath() + "\"\nX-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(ReadSetting(kAutoStartKey), "yes");

    EXPECT_FALSE(ApplyAutoStart(false));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(ReadSetting(kAutoStartKey), "no");
    EXPECT_FALSE(ApplyAutoStart(false));  // nothing to remove is no failure
    EXPECT_TRUE(g_notices.empty());

    // Without an absolute XDG_CONFIG_HOME the entry goes under $HOME/.config.
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_TRUE(ApplyAutoStart(true));
    EXPECT_TRUE(fs::exists(root_ + "/home/.config/autostart/VolaServer.desktop"));
}

TEST_F(AutoStartTest, XdgFoldersTakeAbsoluteValuesAndFallBackBelowHome) {
    EXPECT_EQ(XdgConfigHome(), root_ + "/config");
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(XdgStateHome(), root_ + "/home/.local/state");
    setenv("XDG_STATE_HOME", "", 1);
    EXPECT_EQ(XdgStateHome(), root_ + "/home/.local/state");
    setenv("XDG_STATE_HOME", "state", 1);  // relative: invalid
    EXPECT_EQ(XdgStateHome(), root_ + "/home/.local/state");
    setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
    EXPECT_EQ(XdgStateHome(), root_ + "/state");
    setenv("XDG_CONFIG_HOME", "config", 1);
    EXPECT_EQ(XdgConfigHome(), root_ + "/home/.config");
}

// Installed means: in a folder named bin (whoever may write there: root may write /usr/bin), or
// in a folder this user may not write. Everything else keeps its files beside the executable.
TEST(DataPlaces, InstalledProgramsUseTheXdgFoldersAndOthersTheirOwnFolder) {
    const std::string config = "/home/ann/.config", state = "/home/ann/.local/state";
    for (const char* installed : {"/usr/bin/CorvaneServer", "/usr/local/bin/CorvaneServer",
                                  "/home/ann/.local/bin/CorvaneServer", "/bin/CorvaneServer"}) {
        DataPlaces places = DataPlacesFor(installed, true, config, state);
        EXPECT_FALSE(places.besideExecutable) << installed;
        EXPECT_EQ(places.settingsFolder, "/home/ann/.config/CorvaneServer") << installed;
        EXPECT_EQ(places.logFolder, "/home/ann/.local/state/CorvaneServer") << installed;
    }
    EXPECT_FALSE(
        DataPlacesFor("/opt/corvane/CorvaneServer", false, config, state).besideExecutable);

    for (const char* own :
         {"/home/ann/src/corvane/build/linux/CorvaneServer", "/home/ann/robin/CorvaneServer",
          "/home/ann/bin.old/CorvaneServer", "/home/ann/bin/x/CorvaneServer"}) {
        DataPlaces places = DataPlacesFor(own, true, config, state);
        EXPECT_TRUE(places.besideExecutable) << own;
        EXPECT_EQ(places.settingsFolder, "") << own;
        EXPECT_EQ(places.logFolder, "") << own;
    }
    // Without a home folder there is no user folder to go to.
    EXPECT_TRUE(DataPlacesFor("/usr/bin/CorvaneServer", true, "", "").besideExecutable);
    EXPECT_TRUE(DataPlacesFor("/usr/bin/CorvaneServer", false, config, "").besideExecutable);
}

TEST_F(AutoStartTest, AnEntryThatCannotBeWrittenTurnsAutostartOffAndIsLogged) {
    // A file where the folder should be stops everyone, root included.
    fs::create_directories(root_ + "/config");
    WriteAll(root_ + "/config/autostart", "in the way");
    bool state = true;
    EXPECT_NE(LoggedBy(true, &state).find("不能向注册表写入信息。\n"), std::string::npos);
    EXPECT_FALSE(state);
    EXPECT_EQ(ReadSetting(kAutoStartKey), "no");
}

namespace {

// A settings file in a folder of its own; the folder is removed afterwards.
class SettingsFolderTest : public SettingsStoreTest {
protected:
    void SetUp() override {
        SettingsStoreTest::SetUp();
        char pattern[] = "/tmp/corvane-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        SetSettingsPathForTesting(folder_ + "/CorvaneServer.ini");
        file_ = SettingsFilePath();
    }
    void TearDown() override {
        chmod(folder_.c_str(), 0700);
        if (!folder_.empty()) fs::remove_all(folder_);
        SettingsStoreTest::TearDown();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string folder_;
    std::string file_;
};

// Root may create files in any folder: the writes of these cases are made as "nobody" then.
class UnprivilegedWrites {
public:
    UnprivilegedWrites() : wasRoot_(geteuid() == 0) {
        if (wasRoot_) dropped_ = seteuid(65534) == 0;
    }
    ~UnprivilegedWrites() {
        if (wasRoot_ && dropped_) {
            EXPECT_EQ(seteuid(0), 0);
        }
    }
    bool Usable() const { return !wasRoot_ || dropped_; }

private:
    const bool wasRoot_;
    bool dropped_ = false;
};

}  // namespace

TEST_F(SettingsFolderTest, AWritableFileInAFolderThatTakesNoNewFileIsUpdatedInPlace) {
    WriteSetting(kPasswdKey, "735");
    WriteSetting(kPcNameKey, "Lab PC");
    ASSERT_EQ(chmod(file_.c_str(), 0666), 0);
    ASSERT_EQ(chmod(folder_.c_str(), 0555), 0);
    {
        UnprivilegedWrites unprivileged;
        if (!unprivileged.Usable()) GTEST_SKIP() << "cannot write as another user";
        if (faccessat(AT_FDCWD, folder_.c_str(), W_OK, AT_EACCESS) == 0) {
            GTEST_SKIP() << "this user writes anywhere";
        }
        WriteSetting(kPasswdKey, "  a longer password than before  ");
        WriteSetting(kShowMainKey, "no");
        EXPECT_EQ(ReadSetting(kPasswdKey), "  a longer password than before  ");
        EXPECT_EQ(ReadSetting(kPcNameKey), "Lab PC");
        WriteSetting(kPasswdKey, "short");  // the file shrinks: nothing of the old text stays
    }
    EXPECT_EQ(ReadFileText(file_), "[CorvaneServer]\nPasswd=short\nPcName=Lab PC\nShowMain=no\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"CorvaneServer.ini"});
}

TEST_F(SettingsFolderTest, TemporaryFilesOfProcessesThatAreGoneAreRemovedAtTheNextWrite) {
    // 999999999 is beyond any process id; process 1 always runs, and so does this one.
    const std::string gone = "CorvaneServer.ini.tmp-999999999-3";
    std::vector<std::string> kept = {"CorvaneServer.ini.tmp-1-0",
                                     "CorvaneServer.ini.tmp-" + std::to_string(getpid()) + "-77",
                                     "CorvaneServer.ini.tmp-x", "Other.ini.tmp-999999999-0"};
    WriteAll(folder_ + "/" + gone, "left over");
    for (const std::string& name : kept) WriteAll(folder_ + "/" + name, "left over");
    WriteSetting(kPasswdKey, "735");
    EXPECT_EQ(ReadSetting(kPasswdKey), "735");
    kept.push_back("CorvaneServer.ini");
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Names(), kept);
}

TEST_F(AutoStartTest, AReadOnlyFolderTurnsAutostartOff) {
    fs::create_directories(root_ + "/config/autostart");
    chmod((root_ + "/config/autostart").c_str(), 0500);
    if (access((root_ + "/config/autostart").c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user may write into read-only folders";
    }
    WriteSetting(kAutoStartKey, "yes");
    bool state = true;
    EXPECT_NE(LoggedBy(true, &state).find("不能向注册表写入信息。\n"), std::string::npos);
    EXPECT_FALSE(state);
    EXPECT_EQ(ReadSetting(kAutoStartKey), "no");
}

#endif
