#pragma once
// The block editor: a modeless list of the current drawing's rooms or gross areas. A space chosen
// in the list or picked in the drawing opens the block dialog on a copy of it; Close saves the
// preferences and frees the drawing's objects. The editor is hidden, never destroyed, when it closes.
#include <vector>

#include "classlib/AfxWin.h"
#include "resources/Resource.h"

class CAcadDrawing;
class CBlockDWG;
class CBlocks;
class CPreferences;

class CPresBrenvik : public CDialog {
public:
    enum { IDD = IDD_BLOCK_EDITOR };

    explicit CPresBrenvik(CWnd* pParent = nullptr);
    ~CPresBrenvik() override;

    void setAcadWindow(CWnd* window) { m_acadWindow = window; }
    CWnd* getAcadWindow() const { return m_acadWindow; }
    void setHostDirectory(CString hostDirectory) { m_hostDirectory = hostDirectory; }
    CString getHostDirectory() const { return m_hostDirectory; }

    using CDialog::Create;
    BOOL Create();

    void refreshList();
    void showBlock(CString handle);
    void loadPreferences(CString path);
    void savePreferences(CString path);
    void convertBlocksToPreferenceUnits();

    // Whether the drawing may be worked on now (a pick needs it current). A closed drawing is
    // reported and closes the editor.
    BOOL checkDrawing(BOOL forPick);
    // The drawing the editor works on has been closed: its objects are freed and the editor hidden.
    void closeOnLostDrawing();

    CAcadDrawing* getDrawing() const { return m_drawing; }
    void setBlock(CBlockDWG* block);
    CBlockDWG* getBlock() const { return m_block; }
    int getFilterIndex() const;
    void setFilterIndex(int index);
    void setPreferences(CPreferences* preferences);
    CPreferences* getPreferences() const { return m_preferences; }
    void setPreferenceUnitsAndPrecision(int units, int precision);

    afx_msg void OnCmdSelect();
    afx_msg void OnSelchangeFilter();
    afx_msg void OnDblclkBlockList();
    afx_msg void OnCmdClose();
    afx_msg void OnCmdOptions();
    afx_msg void OnCmdAbout();
    afx_msg void OnCmdExit();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    DECLARE_MESSAGE_MAP()

private:
    CString preferencesPath() const;
    void restoreAfterPick();
    void freeDrawingObjects();
    // The header names the drawing the editor works on, as it is named now.
    void showDrawingName();

    CStatic m_countLabel;
    CListBox m_blockList;
    std::vector<CString> m_listHandles; // the handles of the spaces listed, by each item's data
    CComboBox m_filter;
    CString m_drawingName;
    CPreferences* m_preferences;
    CString m_hostDirectory;
    CAcadDrawing* m_drawing;
    CBlockDWG* m_block;
    CBlocks* m_blocks;
    CWnd* m_acadWindow;
};
