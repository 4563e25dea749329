// The main window: the sprite files ("*.dc6") of the current directory with
// whether each has been converted, the folder browser, the selection and its
// count in the title, and the Convert and View commands.
#pragma once

#include <string>

#include "ui/framework/button.h"
#include "ui/framework/dialog.h"
#include "ui/framework/list_ctrl.h"
#include "ui/image_viewer.h"
#include "ui/progress_window.h"

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
    // Convert: OnConvert.
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
    // The Convert command: runs a conversion with the window disabled, lists
    // the folder anew and reports the number of images written.
    void OnConvert();

private:
    // Converts the first selectedCount selected files in list order, with the
    // palette the user chooses, under the progress window.
    void RunConversion();
    // Releases the last run's palette and asks for this run's: the built-in
    // one or a palette file. False when the user ends the run there.
    bool ChooseRunPalette();
    // Asks for a palette file and loads it into currentPalette; true when a
    // file of exactly 768 bytes was chosen and read.
    bool LoadCustomPalette();

    static const Event<CDialog> events[];
    static const EventTable<CDialog> eventTable;

    std::string titleText;
    HWND selfWindow = nullptr;
    ProgressWindow progress;
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
