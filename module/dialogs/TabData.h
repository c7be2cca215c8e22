#pragma once
// The "Space Data" page of the block dialog: the space's name, area and aux labels, its handle and
// asset count, its area and perimeter with their units, and the areas added to and subtracted from
// it. Everything is changed on the block dialog's copy; only highlighting touches the drawing.
#include "classlib/AfxWin.h"
#include "resources/Resource.h"

class CAcadDrawing;
class CBlockDWG;
class CPresBlock;

class CTabData : public CDialog {
public:
    enum { IDD = IDD_TAB_DATA };

    explicit CTabData(CWnd* pParent = nullptr);
    ~CTabData() override;

    void initialiseData(CBlockDWG* block, CPresBlock* parentDialog, CWnd* hostWindow, CAcadDrawing* drawing);
    // Reads the controls back into the copy; FALSE when a control could not be read (its message was shown).
    BOOL applyChanges();

    void setDrawing(CAcadDrawing* drawing) { m_drawing = drawing; }
    CAcadDrawing* getDrawing() const { return m_drawing; }
    void setParentDialog(CPresBlock* parentDialog) { m_parentDialog = parentDialog; }
    CPresBlock* getParentDialog() const { return m_parentDialog; }
    void setHostWindow(CWnd* hostWindow) { m_hostWindow = hostWindow; }
    CWnd* getHostWindow() const { return m_hostWindow; }

    afx_msg void OnCmdAreaRecalc();
    afx_msg void OnCmdPerimeterRecalc();
    afx_msg void OnCmdSubArea();
    afx_msg void OnCmdHighlight();
    afx_msg void OnBnClickedCmdAddArea();
    afx_msg void OnBnClickedCmdAddHighlight();
    afx_msg void OnBnClickedCmdAreacopy();
    afx_msg void OnBnClickedCmdPerimetercopy();
    afx_msg void OnBnClickedCmdDeleteAddAreas();
    afx_msg void OnBnClickedCmdDeleteSubAreas();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    DECLARE_MESSAGE_MAP()

private:
    // The areas to subtract (or to add) picked in the drawing replace the block's list.
    void pickAreas(bool subtracted);
    void clearAreas(bool subtracted);
    void toggleHighlight(bool subtracted);
    void copyWithUnit(bool area);
    void recalculateBoth();
    void showArea();
    void showPerimeter();
    void restoreParent();
    void setAttributeText(int swapType, const CString& text);

    CString m_name;
    CString m_areaText;
    CString m_aux;
    CString m_area;
    CString m_perimeter;
    // The two boxes above as numbers, set when the page is read back.
    double m_areaValue = 0.0;
    double m_perimeterValue = 0.0;
    CString m_height;
    CString m_volume;
    CString m_areaUnit;
    CString m_perimeterUnit;
    CString m_handle;
    int m_assetCount;
    int m_subtractedHighlighted;
    int m_addedHighlighted;
    CBlockDWG* m_block;
    CAcadDrawing* m_drawing;
    CWnd* m_hostWindow;
    CPresBlock* m_parentDialog;
};
