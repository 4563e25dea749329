// CDialog: a window made from a dialog template of the program's resources,
// run modally (DoModal) or created modeless (Create), with its controls bound
// to member wrappers in DoDataExchange and its events routed through the
// class's event table.
//
// Window and object meet through the creation parameter: the object's
// address arrives with WM_INITDIALOG and is kept in the window's DWLP_USER.
//
// The modal run is our own loop, so that every message of the program's
// windows passes the PreTranslateMessage of its top-level dialog first: F1
// becomes the help command there, and a dialog may keep keys to itself.
#pragma once

#include "ui/framework/event_table.h"
#include "ui/framework/wnd.h"

class CDialog;

enum class DataDirection { ToControls, FromControls };

struct CDataExchange {
    CDialog* dialog;
    DataDirection direction;
};

// Binds the wrapper to the dialog's control id (once; later calls keep it).
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);

class CDialog : public CWnd {
public:
    using EventTarget = CDialog;

    explicit CDialog(UINT templateId);
    ~CDialog() override;

    // Creates the window from the template, owned by the application's main
    // window, disables that owner and runs until EndDialog; then enables the
    // owner again and destroys the window. Returns EndDialog's result, or -1
    // when the window could not be created.
    INT_PTR DoModal();

    // Creates the window modeless from templateId, owned by the application's
    // main window. True when the window exists.
    BOOL Create(UINT templateId);

    // Ends the modal run with result; a modeless dialog is hidden.
    void EndDialog(int result);
    BOOL DestroyWindow();

    // Runs DoDataExchange in the given direction.
    void UpdateData(DataDirection direction);

    // True when the message has been handled here and must not be dispatched.
    // Turns F1 (no Shift, Ctrl or Alt) into the help command sent to the main
    // window, then gives the dialog manager its keyboard handling.
    virtual BOOL PreTranslateMessage(MSG* message);

    // The dialog object of a window, when the window is one of our dialogs.
    static CDialog* FromHandle(HWND window);

protected:
    // Overrides.
    virtual void DoDataExchange(CDataExchange* exchange);
    // Binds the controls; true gives the focus to the first tab stop. A
    // dialog left hidden and unmoved by it is then centred over its owner.
    virtual BOOL OnInitDialog();
    // Enter and the OK button: takes the data and ends with IDOK.
    virtual void OnOK();
    // Escape, the Cancel button and the close box: ends with IDCANCEL.
    virtual void OnCancel();
    // After the window is gone (WM_NCDESTROY).
    virtual void PostNcDestroy() {}
    virtual const EventTable<CDialog>* GetEventTable() const;

    // Leaves the message being handled to the dialog manager's default
    // processing once the handler returns.
    void Default() { defaultWanted_ = true; }

    static const Event<CDialog> events[];
    static const EventTable<CDialog> eventTable;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Handles a message through the event tables or the application's
    // command table; false leaves it to the dialog manager.
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    HWND CreateFromTemplate(UINT templateId);
    void RunModalLoop();

    UINT templateId_;
    bool inModalLoop_ = false;
    bool defaultWanted_ = false;
    INT_PTR modalResult_ = -1;
};
