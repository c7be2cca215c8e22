#pragma once
// The "Format" page of the block dialog: the common text height, width factor and rotation of the
// space's labels, and moving the labels to a picked point.
#include "classlib/AfxWin.h"
#include "core/Preferences.h"
#include "resources/Resource.h"

class CAcadDrawing;
class CBlockDWG;
class CPresBlock;

class CTabFormat : public CDialog {
public:
    enum { IDD = IDD_TAB_FORMAT };

    explicit CTabFormat(CWnd* pParent = nullptr);

    // The width factors the page takes (the host's own range); labels made elsewhere keep to it so
    // that the page can edit them. The same for the largest text height and the turn either way.
    static constexpr double widthFactorMin = CPreferences::textScaleMin;
    static constexpr double widthFactorMax = CPreferences::textScaleMax;
    static constexpr double heightMax = CPreferences::textSizeMax;
    static constexpr double rotationLimit = 360.0;

    void initialiseData(CBlockDWG* block, CPresBlock* parentDialog, CWnd* hostWindow, CAcadDrawing* drawing);
    // FALSE when a value is no number or out of range: its message was shown and the copy is untouched.
    BOOL applyChanges();

    void setDrawing(CAcadDrawing* drawing) { m_drawing = drawing; }
    CAcadDrawing* getDrawing() const { return m_drawing; }
    void setHostWindow(CWnd* hostWindow) { m_hostWindow = hostWindow; }
    CWnd* getHostWindow() const { return m_hostWindow; }
    void setParentDialog(CPresBlock* parentDialog) { m_parentDialog = parentDialog; }
    CPresBlock* getParentDialog() const { return m_parentDialog; }

    afx_msg void OnCmdMoveAttributes();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    DECLARE_MESSAGE_MAP()

private:
    double m_height;
    double m_rotation;
    double m_widthFactor;
    CBlockDWG* m_block;
    CAcadDrawing* m_drawing;
    CWnd* m_hostWindow;
    CPresBlock* m_parentDialog;
};
