// Typed parameters and the parameter list on their own: values, ownership and XML forms.
#include "database/ModuleDetails.h"
#include "database/ParameterBoolean.h"
#include "database/ParameterChar.h"
#include "database/ParameterDateTime.h"
#include "database/ParameterDecimal.h"
#include "database/ParameterFloat.h"
#include "database/ParameterInt.h"
#include "database/ParameterTinyInt.h"
#include "database/ParameterVarChar.h"
#include "database/Parameters.h"
#include "database/DataServices.h"
#include "DatabaseTestXml.h"

#include "core/KelmoExceptions.h"

#include <gtest/gtest.h>

namespace {

const CString kUri = L"urn:test/parameters";

// Counts its deletions so that the list's ownership can be checked.
struct CountedParameter : CParameterInt {
    explicit CountedParameter(int* deletions) : deletions(deletions) {}
    ~CountedParameter() override { ++*deletions; }
    int* deletions;
};

template <class P>
P* make(const wchar_t* name, int direction = adParamInput) {
    auto* p = new P();
    p->setName(name);
    p->setDirection(direction);
    return p;
}

std::vector<std::wstring> xmlForm(CParameter& p) {
    IXMLDOMNodePtr node = p.serialize(kUri);
    EXPECT_EQ(xmlName(node), L"parameter");
    EXPECT_EQ(xmlNamespace(node), std::wstring(kUri.GetString()));
    std::vector<std::wstring> texts;
    for (const auto& child : xmlChildren(node)) {
        EXPECT_EQ(xmlNamespace(child), std::wstring(kUri.GetString()));
        texts.push_back(xmlName(child) + L"=" + xmlText(child));
    }
    return texts;
}

} // namespace

TEST(Parameters, EmptyListBindsNothingAndWritesAnEmptyElement) {
    CParameters list;
    EXPECT_EQ(list.getCount(), 0);
    EXPECT_EQ(list.getParameter(L"@x"), nullptr);
    EXPECT_EQ(list.outToString(), CString(L""));
    IXMLDOMNodePtr node = list.serialize(kUri);
    EXPECT_EQ(xmlName(node), L"parameters");
    EXPECT_TRUE(xmlChildren(node).empty());
}

TEST(Parameters, ANullParameterIsRefused) {
    CParameters list;
    try {
        list.add(nullptr);
        FAIL() << "a null parameter was accepted";
    } catch (CEXKelmo* e) {
        EXPECT_EQ(e->getProcSig(), CString(L"CParameters::add"));
        e->deleteException();
    }
    EXPECT_EQ(list.getCount(), 0);
}

TEST(Parameters, LookupIsExactAndFindsTheFirstOfTwoNames) {
    CParameters list;
    auto* first = make<CParameterInt>(L"@id");
    auto* second = make<CParameterInt>(L"@id");
    list.add(first);
    list.add(second);
    EXPECT_EQ(list.getParameter(L"@id"), first);
    EXPECT_EQ(list.getParameter(L"@ID"), nullptr);
    EXPECT_EQ(list.getAt(1), second);
}

TEST(Parameters, TheListDeletesEachParameterOnceAndCanBeFilledAgain) {
    int deletions = 0;
    {
        CParameters list;
        list.add(new CountedParameter(&deletions));
        list.add(new CountedParameter(&deletions));
        list.deleteObjects();
        EXPECT_EQ(deletions, 2);
        EXPECT_EQ(list.getCount(), 0);
        try {
            list.getAt(0);
            FAIL();
        } catch (CInvalidArgException* e) {
            e->Delete();
        }
        list.add(new CountedParameter(&deletions));
        CountedParameter neverAdded(&deletions);
    }
    EXPECT_EQ(deletions, 4); // the re-added one with the list, the stack one by itself
}

TEST(Parameters, TextDumpHasTwoLinesPerParameter) {
    CParameters list;
    auto* name = make<CParameterVarChar>(L"@name");
    name->setValue(L"Room 1");
    list.add(name);
    auto* id = make<CParameterInt>(L"@id");
    id->setValue(7);
    list.add(id);
    EXPECT_EQ(list.outToString(),
              CString(L"\tParameters\n\t\tName: @name\t\tValue: Room 1\n\tParameters\n\t\tName: @id\t\tValue: 7\n"));
}

TEST(ParameterForms, EachTypeWritesItsTypeWordSizeAndValueText) {
    CParameterBoolean b;
    b.setName(L"@flag");
    b.setValue(1);
    EXPECT_EQ(xmlForm(b), (std::vector<std::wstring>{L"parameterName=@flag", L"parameterType=boolean",
                                                     L"parameterSize=1", L"parameterValue=1"}));
    CParameterDecimal d;
    d.setName(L"@area");
    d.setValue(12.5);
    EXPECT_EQ(xmlForm(d)[1], L"parameterType=decimal");
    EXPECT_EQ(xmlForm(d)[2], L"parameterSize=9");
    EXPECT_EQ(xmlForm(d)[3], L"parameterValue=12.50000");
    d.setValue(-0.25);
    EXPECT_EQ(xmlForm(d)[3], L"parameterValue=-0.25000");
    CParameterFloat f;
    f.setValue(1.0);
    EXPECT_EQ(xmlForm(f)[1], L"parameterType=float");
    EXPECT_EQ(xmlForm(f)[2], L"parameterSize=8");
    CParameterInt i;
    i.setValue(-7);
    EXPECT_EQ(xmlForm(i)[3], L"parameterValue=-7");
    CParameterTinyInt t;
    t.setValue(200);
    EXPECT_EQ(xmlForm(t)[1], L"parameterType=tinyInt");
    EXPECT_EQ(xmlForm(t)[3], L"parameterValue=200");
    CParameterChar c;
    EXPECT_EQ(xmlForm(c)[2], L"parameterSize=20");
    EXPECT_EQ(xmlForm(c)[3], L"parameterValue="); // never given a value
    CParameterVarChar v;
    v.setValue(L"a < b & c");
    EXPECT_EQ(xmlForm(v)[1], L"parameterType=varchar");
    EXPECT_EQ(xmlForm(v)[2], L"parameterSize=255");
    EXPECT_EQ(xmlForm(v)[3], L"parameterValue=a < b & c");
}

TEST(ParameterForms, DateTimeTextAndItsInvalidAndNullForms) {
    CParameterDateTime p;
    p.setValue(COleDateTime(2014, 10, 3, 14, 5, 9));
    EXPECT_EQ(xmlForm(p)[1], L"parameterType=dateTime");
    EXPECT_EQ(xmlForm(p)[3], L"parameterValue=2014100314h0509_");
    EXPECT_EQ(p.getValue().vt, VT_DATE);
    COleDateTime bad;
    bad.SetStatus(COleDateTime::invalid);
    p.setValue(bad);
    EXPECT_EQ(xmlForm(p)[3], L"parameterValue=Invalid DateTime");
    EXPECT_EQ(p.getValue().vt, VT_NULL); // no meaningless day count goes to the register
    COleDateTime none;
    none.SetStatus(COleDateTime::null);
    p.setValue(none);
    EXPECT_EQ(xmlForm(p)[3], L"parameterValue=");
    EXPECT_EQ(p.getValue().vt, VT_NULL);
}

TEST(ParameterValues, UnsetParametersCarryAnIntegerZeroAndBooleansKeepTheirBits) {
    CParameterVarChar v;
    EXPECT_EQ(v.getValue().vt, VT_INT);
    EXPECT_EQ(v.getValue().intVal, 0);
    CParameterBoolean b;
    b.setValue(1);
    EXPECT_EQ(b.getValue().vt, VT_BOOL);
    EXPECT_EQ(b.getValue().boolVal, 1);
    _variant_t copy;
    {
        CParameterVarChar temporary;
        temporary.setValue(L"kept");
        copy = temporary.getValue();
    }
    EXPECT_EQ(std::wstring(copy.bstrVal), L"kept");
}

TEST(ModuleDetails, BuildDateIsReadTheSameInEveryLocale) {
    COleDateTime d = CModuleDetails::parseBuildDate(L"Oct  3 2014");
    ASSERT_EQ(d.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(d.GetYear(), 2014);
    EXPECT_EQ(d.GetMonth(), 10);
    EXPECT_EQ(d.GetDay(), 3);
    EXPECT_EQ(CModuleDetails::parseBuildDate(L"Dec 31 1999").GetMonth(), 12);
    EXPECT_NE(CModuleDetails::parseBuildDate(L"Okt  3 2014").GetStatus(), COleDateTime::valid);
    EXPECT_NE(CModuleDetails::parseBuildDate(L"Feb 30 2014").GetStatus(), COleDateTime::valid);
    EXPECT_NE(CModuleDetails::parseBuildDate(L"Oct  3 2014 x").GetStatus(), COleDateTime::valid);
}

TEST(DataServices, ConnectionStringQuotesOnlyValuesThatNeedIt) {
    EXPECT_EQ(CDataServices::connectionString(L"srv", L"db", L"me", L"pw"),
              CString(L"Provider=SQLOLEDB;Data Source=srv;Initial Catalog=db;User Id=me;Password=pw;"));
    EXPECT_EQ(CDataServices::connectionString(L"", L"", L"a b", L"x;Initial Catalog=other\""),
              CString(L"Provider=SQLOLEDB;Data Source=;Initial Catalog=;User Id=a b;"
                      L"Password=\"x;Initial Catalog=other\"\"\";"));
    EXPECT_EQ(CDataServices::connectionString(L" s", L"d", L"o'k", L"p"),
              CString(L"Provider=SQLOLEDB;Data Source=\" s\";Initial Catalog=d;User Id=\"o'k\";Password=p;"));
}

TEST(DataServices, AnUnconnectedObjectReportsVersionZeroAndDestroysCleanly) {
    const int before = win::comInitCount();
    {
        CDataServices unconnected;
        EXPECT_EQ(unconnected.getADOVersion(), 0.0);
    }
    EXPECT_EQ(win::comInitCount(), before);
}
