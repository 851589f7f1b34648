// The three settings pages driven by window messages, as the user's edits and clicks arrive.
#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "netinfo/local_addresses.h"
#include "phone_client.h"
#include "platform/text_conversion.h"
#include "resource.h"
#include "shell/settings_store.h"
#include "ui_fixture.h"

namespace {

int SliderPosition(HWND page, int id) {
    return static_cast<int>(SendDlgItemMessageW(page, id, TBM_GETPOS, 0, 0));
}

// What the slider sends when the user lets go of it.
void Release(HWND page, int id, int position) {
    SendDlgItemMessageW(page, id, TBM_SETPOS, TRUE, position);
    NMHDR header{GetDlgItem(page, id), static_cast<UINT_PTR>(id),
                 static_cast<UINT>(NM_RELEASEDCAPTURE)};
    SendMessageW(page, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
}

bool Checked(HWND dialog, int id) {
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string CellText(HWND list, int row, int column) {
    wchar_t text[512] = L"";
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return Utf16ToUtf8(std::u16string(text, text + wcslen(text)));
}

}  // namespace

TEST_F(MainWindowTest, EditedPasswordAppliesToTheNextLogin) {
    Open();
    EXPECT_EQ(ItemText(Basic(), IDC_PASSWORD), "735");
    PhoneClient before(Port());
    ASSERT_EQ(before.Login("id-a", "735"), "Login:OK\n");

    SetDlgItemTextA(Basic(), IDC_PASSWORD, "4321");
    EXPECT_EQ(Setting(kPasswdKey), "4321");
    EXPECT_EQ(window_->Password(), "4321");
    // A logged-in phone stays; the next login needs the new password.
    EXPECT_TRUE(before.SendLine("QueryInfo:Version"));
    EXPECT_EQ(before.ReadLine().rfind("QueryInfo:Version,", 0), 0u);
    EXPECT_EQ(PhoneClient(Port()).Login("id-b", "735"), "Login:ER\n");
    EXPECT_EQ(PhoneClient(Port()).Login("id-c", "4321"), "Login:OK\n");

    // Leaving the field stores it again.
    WriteSetting(kPasswdKey, "stale");
    SendMessageW(Basic(), WM_COMMAND, MAKEWPARAM(IDC_PASSWORD, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(GetDlgItem(Basic(), IDC_PASSWORD)));
    EXPECT_EQ(Setting(kPasswdKey), "4321");
}

TEST_F(MainWindowTest, PasswordsWithOuterBlanksOrQuotesSurviveARestart) {
    for (const char* password : {"  pass word  ", "\"quoted\""}) {
        Open();
        SetDlgItemTextA(Basic(), IDC_PASSWORD, password);
        SetDlgItemTextA(Basic(), IDC_COMPUTER_NAME, " Lab PC ");
        ShutDown();
        window_.reset();

        // The next start reads them back through the system's profile functions.
        Open();
        EXPECT_EQ(ItemText(Basic(), IDC_PASSWORD), password);
        EXPECT_EQ(window_->Password(), password);
        EXPECT_EQ(window_->ComputerName(), " Lab PC ");
        EXPECT_EQ(PhoneClient(Port()).Login("id-a", password), "Login:OK\n") << password;
        EXPECT_EQ(PhoneClient(Port()).Login("id-b", "pass word"), "Login:ER\n");
        EXPECT_EQ(PhoneClient(Port()).Login("id-c", "quoted"), "Login:ER\n");
        ShutDown();
        window_.reset();
    }
}

TEST_F(MainWindowTest, EditedNameIsStoredAndAnsweredToProbes) {
    udpPort_ = FreeUdpPort();
    Open();
    SetDlgItemTextA(Basic(), IDC_COMPUTER_NAME, "Lab PC");
    EXPECT_EQ(Setting(kPcNameKey), "Lab PC");
    EXPECT_EQ(window_->ComputerName(), "Lab PC");
    const std::string reply = Probe(static_cast<std::uint16_t>(udpPort_), "Vola:x\n");
    EXPECT_EQ(reply,
              "Vola:" + window_->HardwareAddressText + ",Lab PC," + std::to_string(Port()) + "\n");
}

TEST_F(MainWindowTest, ServiceButtonStopsAndStartsTheService) {
    Open();
    HWND button = GetDlgItem(Basic(), IDC_SERVICE_BUTTON);
    EXPECT_EQ(TextOf(button), "Connected");
    EXPECT_TRUE(Checked(Basic(), IDC_SERVICE_BUTTON));
    PhoneClient connected(Port());
    ASSERT_EQ(connected.Login("id-a", "735"), "Login:OK\n");

    Press(Basic(), IDC_SERVICE_BUTTON);
    EXPECT_FALSE(window_->ServiceRunning());
    EXPECT_EQ(TextOf(button), "Disconnected");
    EXPECT_FALSE(Checked(Basic(), IDC_SERVICE_BUTTON));
    EXPECT_TRUE(connected.WaitClosed(3000));  // connected phones are dropped

    SetDlgItemTextA(Basic(), IDC_PASSWORD, "new-one");
    Press(Basic(), IDC_SERVICE_BUTTON);
    EXPECT_TRUE(window_->ServiceRunning());
    EXPECT_EQ(TextOf(button), "Connected");
    EXPECT_TRUE(Checked(Basic(), IDC_SERVICE_BUTTON));
    EXPECT_EQ(PhoneClient(Port()).Login("id-b", "new-one"), "Login:OK\n");
}

TEST_F(MainWindowTest, EncryptBoxMasksThePassword) {
    Open();
    HWND edit = GetDlgItem(Basic(), IDC_PASSWORD);
    EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), 0);  // no setting: clear text
    Press(Basic(), IDC_HIDE_PASSWORD);
    EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), '*');
    EXPECT_EQ(Setting(kHidePasswdKey), "yes");
    Press(Basic(), IDC_HIDE_PASSWORD);
    EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(Setting(kHidePasswdKey), "no");
}

TEST_F(MainWindowTest, StoredMaskAndFactorsAreShownAtStart) {
    WriteSetting(kHidePasswdKey, "yes");
    WriteSetting(kVertKey, "250");
    WriteSetting(kHorzKey, "abc");
    Open();
    EXPECT_EQ(SendDlgItemMessageW(Basic(), IDC_PASSWORD, EM_GETPASSWORDCHAR, 0, 0), '*');
    EXPECT_TRUE(Checked(Basic(), IDC_HIDE_PASSWORD));
    EXPECT_EQ(SliderPosition(Advanced(), IDC_HORIZONTAL_SLIDER), 100);
    EXPECT_EQ(SliderPosition(Advanced(), IDC_VERTICAL_SLIDER), 0);
    EXPECT_EQ(window_->HorizontalFactor, 100);
    EXPECT_EQ(window_->VerticalFactor, 0);
    // The labels stay empty until a slider is first released.
    EXPECT_EQ(ItemText(Advanced(), IDC_HORIZONTAL_VALUE), "");
    EXPECT_EQ(ItemText(Advanced(), IDC_VERTICAL_VALUE), "");
    ShutDown();
    EXPECT_EQ(Setting(kVertKey), "100");
    EXPECT_EQ(Setting(kHorzKey), "0");
}

TEST_F(MainWindowTest, LockKeepsBothSlidersTogether) {
    Open();
    HWND page = Advanced();
    Release(page, IDC_HORIZONTAL_SLIDER, 30);
    EXPECT_EQ(window_->HorizontalFactor, 30);
    EXPECT_EQ(window_->VerticalFactor, 50);
    EXPECT_EQ(ItemText(page, IDC_HORIZONTAL_VALUE), "30");
    EXPECT_EQ(ItemText(page, IDC_VERTICAL_VALUE), "");

    Press(page, IDC_LOCK);
    EXPECT_EQ(SliderPosition(page, IDC_VERTICAL_SLIDER), 30);
    EXPECT_EQ(window_->VerticalFactor, 30);
    EXPECT_EQ(ItemText(page, IDC_VERTICAL_VALUE), "30");

    Release(page, IDC_VERTICAL_SLIDER, 70);
    EXPECT_EQ(SliderPosition(page, IDC_HORIZONTAL_SLIDER), 70);
    EXPECT_EQ(window_->HorizontalFactor, 70);
    EXPECT_EQ(window_->VerticalFactor, 70);
    EXPECT_EQ(ItemText(page, IDC_HORIZONTAL_VALUE), "70");
    EXPECT_EQ(ItemText(page, IDC_VERTICAL_VALUE), "70");

    Press(page, IDC_LOCK);  // unlocked: the sliders go their own ways again
    Release(page, IDC_HORIZONTAL_SLIDER, 10);
    EXPECT_EQ(window_->HorizontalFactor, 10);
    EXPECT_EQ(window_->VerticalFactor, 70);
    EXPECT_EQ(SliderPosition(page, IDC_VERTICAL_SLIDER), 70);
}

TEST_F(MainWindowTest, DraggingTheRealSliderReportsTheRelease) {
    Open();
    SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
    Press(Main(), IDC_PAGE_ADVANCED);
    HWND slider = GetDlgItem(Advanced(), IDC_HORIZONTAL_SLIDER);
    RECT thumb{};
    SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    const int x = (thumb.left + thumb.right) / 2;
    const int y = (thumb.top + thumb.bottom) / 2;
    SendMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    SendMessageW(slider, WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y));
    const int position = SliderPosition(Advanced(), IDC_HORIZONTAL_SLIDER);
    EXPECT_GT(position, 50);
    EXPECT_EQ(window_->HorizontalFactor, position);
    EXPECT_EQ(ItemText(Advanced(), IDC_HORIZONTAL_VALUE), std::to_string(position));
}

TEST_F(MainWindowTest, AutostartBoxDeletesAndWritesTheRunValue) {
    Open();
    HWND page = Advanced();
    EXPECT_TRUE(Checked(page, IDC_AUTOSTART));
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    EXPECT_EQ(RunValue(), exe);

    Press(page, IDC_AUTOSTART);
    EXPECT_FALSE(Checked(page, IDC_AUTOSTART));
    EXPECT_EQ(RunValue(), "<none>");
    EXPECT_EQ(Setting(kAutoStartKey), "no");

    Press(page, IDC_AUTOSTART);
    EXPECT_TRUE(Checked(page, IDC_AUTOSTART));
    EXPECT_EQ(RunValue(), exe);
    EXPECT_EQ(Setting(kAutoStartKey), "yes");
}

TEST_F(MainWindowTest, StoredAutostartNoDeletesTheRunValueAtStart) {
    WriteSetting(kAutoStartKey, "Yes");  // only "yes" counts
    Open();
    EXPECT_FALSE(Checked(Advanced(), IDC_AUTOSTART));
    EXPECT_EQ(RunValue(), "<none>");
    EXPECT_EQ(Setting(kAutoStartKey), "no");
}

TEST_F(MainWindowTest, AboutPageShowsTextAndVersion) {
    Open();
    EXPECT_EQ(ItemText(About(), IDC_VERSION_LINE), "Version:  1.52");
    EXPECT_EQ(ItemText(About(), IDC_ABOUT_TEXT).rfind("Present your slides", 0), 0u);
}

TEST_F(MainWindowTest, PagesIgnoreEnterAndEscape) {
    Open();
    SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
    for (HWND page : {Basic(), Advanced(), About()}) {
        SendMessageW(page, WM_COMMAND, IDOK, 0);
        SendMessageW(page, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(IsWindow(page));
    }
    EXPECT_TRUE(IsWindowVisible(Basic()));
    EXPECT_TRUE(IsWindowVisible(Main()));
}

TEST_F(MainWindowTest, AddressLineAndFirewallNote) {
    Open();
    LocalAddressList addresses;
    EnumerateLocalAddresses(&addresses);
    AddressSummary summary = SummarizeAddresses(addresses);
    EXPECT_EQ(ItemText(Basic(), IDC_ADDRESS_TEXT), summary.text);
    SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
    EXPECT_EQ(IsWindowVisible(GetDlgItem(Basic(), IDC_ADDRESS_DETAILS)) != FALSE,
              summary.detailsVisible);

    HFONT font =
        reinterpret_cast<HFONT>(SendDlgItemMessageW(Basic(), IDC_FIREWALL_NOTE, WM_GETFONT, 0, 0));
    LOGFONTW face{};
    ASSERT_TRUE(GetObjectW(font, sizeof face, &face));
    EXPECT_EQ(std::wstring(face.lfFaceName), L"\u5FAE\u8F6F\u96C5\u9ED1");
}

TEST_F(MainWindowTest, DetailsDialogListsEveryAddressLastFirst) {
    Open();
    SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
    struct Seen {
        std::vector<std::string> headers;
        std::vector<std::string> addresses;
        std::vector<std::string> adapters;
        LRESULT extended = 0;
    } seen;
    const bool opened = InspectModalDialog(
        IDC_ADDRESS_LIST,
        [&](HWND dialog) {
            HWND list = GetDlgItem(dialog, IDC_ADDRESS_LIST);
            seen.extended = SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
            HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
            for (int i = 0; i < 3; ++i) {
                wchar_t text[128] = L"";
                HDITEMW item{};
                item.mask = HDI_TEXT;
                item.pszText = text;
                item.cchTextMax = 128;
                SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
                seen.headers.push_back(Utf16ToUtf8(std::u16string(text, text + wcslen(text))));
            }
            int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
            for (int row = 0; row < rows; ++row) {
                seen.addresses.push_back(CellText(list, row, 0));
                seen.adapters.push_back(CellText(list, row, 2));
            }
        },
        // Returns when the dialog closes.
        [&] { Press(Basic(), IDC_ADDRESS_DETAILS); });

    ASSERT_TRUE(opened);
    EXPECT_EQ(seen.headers, (std::vector<std::string>{"IP", "Wireless Network", "NetCard Name"}));
    EXPECT_TRUE(seen.extended & LVS_EX_GRIDLINES);
    EXPECT_TRUE(seen.extended & LVS_EX_FULLROWSELECT);
    LocalAddressList list;
    EnumerateLocalAddresses(&list);
    AddWirelessInfo(&list);
    ASSERT_EQ(seen.addresses.size(), list.size());
    size_t row = list.size();
    for (const LocalAddress& entry : list) {
        --row;
        EXPECT_EQ(seen.addresses[row], entry.address);
        EXPECT_EQ(seen.adapters[row], AnsiToUtf8(entry.adapterDescription));
    }
    EXPECT_TRUE(IsWindowEnabled(Main()));
}
