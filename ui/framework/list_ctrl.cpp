#include "ui/framework/list_ctrl.h"

#include <climits>

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width, int subItem) const {
    LVCOLUMNA description = {};
    description.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    description.fmt = format;
    description.cx = width;
    description.pszText = const_cast<char*>(heading);
    description.iSubItem = subItem;
    return static_cast<int>(
        SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&description)));
}

void CListCtrl::SetExtendedStyle(DWORD mask, DWORD style) const {
    SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style);
}

BOOL CListCtrl::DeleteAllItems() const { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }

int CListCtrl::InsertItem(int index, const char* text) const {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<char*>(text);
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int index, int subItem, const char* text) const {
    LVITEMA item = {};
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text);
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::GetItemText(int index, int subItem, char* buffer, std::size_t size) const {
    if (size == 0) return 0;
    buffer[0] = '\0';
    LVITEMA item = {};
    item.iSubItem = subItem;
    item.pszText = buffer;
    item.cchTextMax = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    const int length =
        static_cast<int>(SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    buffer[size - 1] = '\0';
    return length;
}

int CListCtrl::GetNextItem(int index, UINT flags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(index), MAKELPARAM(flags, 0)));
}

int CListCtrl::GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }

BOOL CListCtrl::SetItemState(int index, UINT state, UINT mask) const {
    LVITEMA item = {};
    item.mask = LVIF_STATE;
    item.state = state;
    item.stateMask = mask;
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}
