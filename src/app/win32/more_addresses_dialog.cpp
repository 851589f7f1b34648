#include "app/win32/more_addresses_dialog.h"

#include <commctrl.h>

#include <string>

#include "platform/text_conversion.h"
#include "resource.h"

namespace {

constexpr COLORREF kSkinBackground = 0xA08167;
constexpr COLORREF kOutline = 0x141414;
constexpr int kShapeDivisor = 50;

void InsertColumn(HWND list, int index, const std::wstring& heading, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(heading.c_str());
    column.iSubItem = index;
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, index, width);
}

std::wstring Wide(const std::string& text) {
    std::u16string wide = AnsiToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

void SetCell(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = Wide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(wide.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

MoreAddressesDialog::MoreAddressesDialog(const LocalAddressList& addresses)
    : DialogWindow(IDD_MORE_ADDRESSES),
      addresses_(addresses),
      background_(kSkinBackground),
      shape_(kShapeDivisor, kOutline) {}

bool MoreAddressesDialog::OnInitDialog() {
    HWND list = Item(IDC_ADDRESS_LIST);
    const LPARAM extra = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extra, extra);
    InsertColumn(list, 0, L"IP", 140);
    InsertColumn(list, 1, LoadText(IDS_WIRELESS_NETWORK), 140);
    InsertColumn(list, 2, LoadText(IDS_NETCARD_NAME), 240);
    int row = 0;
    for (const LocalAddress& entry : AddressDetailRows(addresses_)) {
        std::wstring address = Wide(entry.address);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row++;
        item.pszText = const_cast<wchar_t*>(address.c_str());
        int inserted = static_cast<int>(
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        SetCell(list, inserted, 1, entry.wirelessNetwork);
        SetCell(list, inserted, 2, entry.adapterDescription);
    }
    close_.Attach(handle(), IDCANCEL);
    close_.SetIcon(IDI_CLOSE);
    close_.SetFlat(true);
    close_.SetTransparent(true);
    return true;
}

void MoreAddressesDialog::OnCommand(int id, int, HWND) {
    if (id == IDCANCEL || id == IDOK) End(id);
}

bool MoreAddressesDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR* result) {
    if (message == WM_PAINT) {
        shape_.Paint(handle());
        return true;
    }
    if (message == WM_LBUTTONDOWN) {
        // Dragging anywhere moves the captionless window.
        SendMessageW(handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        return true;
    }
    if (IsControlColorMessage(message)) {
        (void)wParam;
        *result = background_.answer();
        return true;
    }
    return false;
}
