// CListCtrl: a list view control (SysListView32) of a dialog.
#pragma once

#include <cstddef>

#include "ui/framework/wnd.h"

class CListCtrl : public CWnd {
public:
    // Inserts a text column at column; returns its index, or -1.
    int InsertColumn(int column, const char* heading, int format, int width, int subItem) const;
    // Sets the extended styles of mask to style (mask 0: all of them).
    void SetExtendedStyle(DWORD mask, DWORD style) const;
    BOOL DeleteAllItems() const;
    // Inserts an item with text only, asking for index; returns the index the
    // list gave it (a sorted list places it by its text), or -1.
    int InsertItem(int index, const char* text) const;
    BOOL SetItemText(int item, int subItem, const char* text) const;
    // Copies the text of a cell into buffer, cut to size - 1 characters and
    // always terminated; returns its length.
    int GetItemText(int item, int subItem, char* buffer, std::size_t size) const;
    // The next item after item (-1: from the start) with the state flags, or -1.
    int GetNextItem(int item, UINT flags) const;
    int GetItemCount() const;
    // Sets the state bits of mask of an item (-1: of every item).
    BOOL SetItemState(int item, UINT state, UINT mask) const;
};
