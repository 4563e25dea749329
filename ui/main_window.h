// The main window: the sprite files ("*.dc6") of the current directory with
// whether each has been converted, the folder browser, the selection and its
// count in the title, and the Convert and View commands.
#pragma once

#include <string>

#include "ui/framework/button.h"
#include "ui/framework/dialog.h"
#include "ui/framework/list_ctrl.h"
#include "ui/image_viewer.h"

// The number of selected list items at the last click in the list or Select All.
extern int selectedCount;

class MainWindow : public CDialog {
public:
    MainWindow();

    // Lists the folder anew; 1 when the search found at least one sprite file.
    int RefreshFileList();
    // The shell's folder browser; 1 when a folder was taken and made current.
    int BrowseForFolder();
    // Counts the selected items into selectedCount and shows the count in the title.
    void CountSelection();

protected:
    // Overrides.
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    // The Convert command.
    void OnOK() override;
    const EventTable<CDialog>* GetEventTable() const override;

    // Handlers.
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnBrowse();
    void OnListClick(NMHDR* header, LRESULT* result);
    void OnListDoubleClick(NMHDR* header, LRESULT* result);
    void OnSelectAll();
    void OnErrorsCheckBox();
    // The View command.
    void OnView();

private:
    static const Event<CDialog> events[];
    static const EventTable<CDialog> eventTable;

    std::string titleText;
    HWND selfWindow = nullptr;
    CButton viewButton;
    CButton quitButton;
    CButton errorsCheckBox;
    CButton selectAllButton;
    CButton convertButton;
    CButton browseButton;
    CListCtrl fileList;
    HICON appIcon;
    // Shows every image of a View, one after another.
    ImageViewer viewer;
};
