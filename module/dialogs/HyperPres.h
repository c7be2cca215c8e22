#pragma once
// The hyperlink dialog: a modeless dialog that attaches up to five hyperlinks (address and
// description) to a block reference picked in the drawing, or to every reference of the same block
// definition. Any block reference may be picked; a space block gets its space record written back
// with the links, any other reference only the links. It deletes itself when it is closed.
#include "cad/AcDb.h"
#include "classlib/AfxWin.h"
#include "resources/Resource.h"

class CAcadDrawing;
class CBlockDWG;
class CHyperlinks;

class CHyperPres : public CDialog {
public:
    enum { IDD = IDD_HYPERLINK };
    static constexpr int rowCount = 5;

    explicit CHyperPres(CWnd* pParent = nullptr);
    ~CHyperPres() override;

    void setAcadWindow(CWnd* acadWindow) { m_acadWindow = acadWindow; }
    CWnd* getAcadWindow() const { return m_acadWindow; }
    void setDrawing(CAcadDrawing* drawing) { m_drawing = drawing; }
    CAcadDrawing* getDrawing() const { return m_drawing; }
    CBlockDWG* getCurrentBlock() const { return m_currentBlock; }

    // Reads the block reference into the current block and shows its hyperlinks.
    void setCurrentAcadBlock(AcDbObjectId id);
    bool readBlock(AcDbObjectId id);
    void fillRows();
    void applyHyperlinks();
    void hyperlinkBlock(CHyperlinks* hyperlinks);
    void hyperlinkAllBlocks(CHyperlinks* hyperlinks);
    void releaseObjects();
    static bool isBlockReference(AcDbObjectId id);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // Applies the rows and closes the dialog.
    void OnOK() override;
    // Escape closes the dialog as Cancel does.
    void OnCancel() override;

    afx_msg void OnCmdApply();
    afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);
    afx_msg void OnCmdSelectBlock();
    afx_msg void OnCmdCancel();
    afx_msg LRESULT OnAcadKeepFocus(WPARAM wParam, LPARAM lParam);
    afx_msg void OnChangeHref1();
    afx_msg void OnChangeHref2();
    afx_msg void OnChangeHref3();
    afx_msg void OnChangeHref4();
    afx_msg void OnChangeHref5();
    afx_msg void OnCmdOK();
    DECLARE_MESSAGE_MAP()

private:
    // Row n's description takes the address typed while it is empty or still shows the address.
    void descriptionFollowsHref(int row);
    // Gives the block its own copy of the links and writes it back.
    void writeHyperlinks(CBlockDWG* block, CHyperlinks* hyperlinks);
    void keepUnshownLinks(CHyperlinks* hyperlinks);
    // False, with the reason shown, when the drawing is closed (the dialog is then closed too, and
    // the caller returns at once) or, where the work needs it current, is not current.
    bool drawingUsable(bool needCurrent);
    void closeDialog();

    CButton m_okButton;
    CButton m_selectButton;
    CButton m_applyButton;
    CButton m_cancelButton;
    CString m_descriptions[rowCount];
    CString m_hrefs[rowCount];
    int m_applyToAllSimilar;
    CString m_blockName;
    CString m_handle;
    CAcadDrawing* m_drawing;
    CBlockDWG* m_currentBlock;
    CWnd* m_acadWindow;
};
