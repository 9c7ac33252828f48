// The four OLE objects and the drop rules: the enumerator's cursor, the data object's replies and
// bounds, the drop source, the effect of modifier keys over the fields, and what a drop reports.
#include <gtest/gtest.h>

#include <cstring>

#include "app/drag_drop.h"
#include "tests/wine/field_dialog.h"

using namespace field_dialog;

namespace {

FORMATETC TextRequest(DWORD aspect = DVASPECT_CONTENT, DWORD tymed = TYMED_HGLOBAL, CLIPFORMAT format = CF_TEXT) {
  return FORMATETC{format, nullptr, aspect, -1, tymed};
}

void ExpectTextFormat(const FORMATETC& format) {
  EXPECT_EQ(format.cfFormat, CF_TEXT);
  EXPECT_EQ(format.ptd, nullptr);
  EXPECT_EQ(format.dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
  EXPECT_EQ(format.lindex, -1);
  EXPECT_EQ(format.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
}

TEST(FormatEnumerator, SkipNextResetClone) {
  IEnumFORMATETC* cursor = nullptr;
  ASSERT_EQ(CreateFormatEnumerator(0, &cursor), S_OK);
  FORMATETC formats[2] = {};
  ULONG fetched = 99;
  EXPECT_EQ(cursor->Skip(1), S_OK);
  EXPECT_EQ(cursor->Next(1, formats, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  EXPECT_EQ(cursor->Reset(), S_OK);
  EXPECT_EQ(cursor->Skip(2), S_FALSE);  // past the end: position unchanged
  EXPECT_EQ(cursor->Next(2, formats, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  ExpectTextFormat(formats[0]);

  EXPECT_EQ(cursor->Reset(), S_OK);
  EXPECT_EQ(cursor->Next(1, formats, nullptr), S_OK);
  EXPECT_EQ(cursor->Skip(0), S_OK);

  IEnumFORMATETC* copy = nullptr;
  EXPECT_EQ(cursor->Reset(), S_OK);
  ASSERT_EQ(cursor->Clone(&copy), S_OK);
  EXPECT_EQ(cursor->Skip(1), S_OK);
  EXPECT_EQ(copy->Next(1, formats, &fetched), S_OK);  // the clone kept its own position
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(copy->Release(), 0u);

  IUnknown* unknown = nullptr;
  EXPECT_EQ(cursor->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(cursor));
  void* other = &fetched;
  EXPECT_EQ(cursor->QueryInterface(IID_IDataObject, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(cursor->Release(), 1u);
  EXPECT_EQ(cursor->Release(), 0u);
}

class DragDropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = Open();
    drag.sourceEdit = nullptr;
  }
  void TearDown() override {
    drag.sourceEdit = nullptr;
    Close(dialog);
  }
  // Reads what GetData delivers, or the failure code.
  HRESULT Deliver(std::string* text) {
    FORMATETC request = TextRequest();
    STGMEDIUM medium{};
    HRESULT result = TextDataObject()->GetData(&request, &medium);
    if (result == S_OK) {
      EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
      EXPECT_EQ(medium.pUnkForRelease, nullptr);
      const char* block = static_cast<const char*>(GlobalLock(medium.hGlobal));
      *text = std::string(block, strnlen(block, GlobalSize(medium.hGlobal)));
      GlobalUnlock(medium.hGlobal);
      ReleaseStgMedium(&medium);
    }
    return result;
  }
  void RecordSource(HWND editBox, WORD start, WORD end) {
    drag.sourceEdit = editBox;
    drag.sourceSelection = MAKELONG(start, end);
  }
  HWND dialog = nullptr;
};

TEST_F(DragDropTest, DataObjectDeliversTheRecordedSelection) {
  std::string text;
  EXPECT_EQ(Deliver(&text), DV_E_FORMATETC);  // no drag recorded

  RecordSource(Item(IDC_FOLDER), 3, 10);  // "C:\Program Files\xan"
  ASSERT_EQ(Deliver(&text), S_OK);
  EXPECT_EQ(text, "Program");

  RecordSource(Item(IDC_FOLDER), 0, 0);
  ASSERT_EQ(Deliver(&text), S_OK);
  EXPECT_EQ(text, "");
}

// The field may hold less than the recorded selection by the time a receiver asks.
TEST_F(DragDropTest, DataObjectBoundedByWhatTheFieldStillHolds) {
  std::string text;
  RecordSource(Item(IDC_FOLDER), 3, 10);
  SetWindowTextA(Item(IDC_FOLDER), "C:\\Pr");
  ASSERT_EQ(Deliver(&text), S_OK);
  EXPECT_EQ(text, "Pr");
  SetWindowTextA(Item(IDC_FOLDER), "C:");
  ASSERT_EQ(Deliver(&text), S_OK);
  EXPECT_EQ(text, "");
  SetWindowTextA(Item(IDC_FOLDER), "");
  ASSERT_EQ(Deliver(&text), S_OK);
  EXPECT_EQ(text, "");
}

TEST_F(DragDropTest, DataObjectRepliesToFormatQueries) {
  IDataObject* data = TextDataObject();
  struct Case { FORMATETC request; HRESULT query; };
  const Case cases[] = {
      {TextRequest(), S_OK},
      {TextRequest(DVASPECT_CONTENT | DVASPECT_THUMBNAIL, TYMED_HGLOBAL | TYMED_ISTREAM), S_OK},
      {TextRequest(DVASPECT_ICON), S_FALSE},
      {TextRequest(DVASPECT_CONTENT, TYMED_ISTREAM), S_FALSE},
      {TextRequest(DVASPECT_CONTENT, TYMED_HGLOBAL, CF_UNICODETEXT), S_FALSE},
  };
  RecordSource(Item(IDC_FOLDER), 0, 2);
  for (const Case& c : cases) {
    FORMATETC request = c.request;
    EXPECT_EQ(data->QueryGetData(&request), c.query) << request.cfFormat << " " << request.tymed;
    STGMEDIUM medium{};
    const HRESULT got = data->GetData(&request, &medium);
    EXPECT_EQ(got, c.query == S_OK ? S_OK : DV_E_FORMATETC);
    if (got == S_OK) ReleaseStgMedium(&medium);
  }

  IEnumFORMATETC* formats = nullptr;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
  FORMATETC first{};
  ULONG fetched = 0;
  EXPECT_EQ(formats->Next(1, &first, &fetched), S_OK);
  ExpectTextFormat(first);
  formats->Release();
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &formats), E_FAIL);

  FORMATETC in = TextRequest(), out = TextRequest();
  out.ptd = reinterpret_cast<DVTARGETDEVICE*>(&fetched);
  EXPECT_EQ(data->GetCanonicalFormatEtc(&in, &out), DATA_S_SAMEFORMATETC);
  EXPECT_EQ(out.ptd, nullptr);
  STGMEDIUM medium{};
  EXPECT_EQ(data->GetDataHere(&in, &medium), E_NOTIMPL);
  EXPECT_EQ(data->SetData(&in, &medium, FALSE), E_FAIL);
  DWORD connection = 0;
  EXPECT_EQ(data->DAdvise(&in, 0, nullptr, &connection), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(data->DUnadvise(0), E_FAIL);
  IEnumSTATDATA* advises = nullptr;
  EXPECT_EQ(data->EnumDAdvise(&advises), OLE_E_ADVISENOTSUPPORTED);

  // static objects only count references
  const ULONG held = data->AddRef();
  EXPECT_EQ(data->Release(), held - 1);
  IDropTarget* target = nullptr;
  EXPECT_EQ(data->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target)), E_NOINTERFACE);
}

TEST_F(DragDropTest, DropSourceFollowsButtonAndEscape) {
  IDropSource* source = TextDropSource();
  EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_SHIFT), S_OK);
  EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_SHIFT), DRAGDROP_S_DROP);
  EXPECT_EQ(source->GiveFeedback(DROPEFFECT_MOVE), DRAGDROP_S_USEDEFAULTCURSORS);
}

TEST_F(DragDropTest, EffectFromModifierKeysOverAField) {
  const POINT centre = CentreOf(Item(IDC_FOLDER));
  const POINTL over{centre.x, centre.y};
  struct Case { DWORD keys; bool ownDrag; DWORD effect; };
  const Case cases[] = {
      {MK_LBUTTON, false, DROPEFFECT_COPY},
      {MK_LBUTTON, true, DROPEFFECT_MOVE},
      {MK_LBUTTON | MK_SHIFT | MK_CONTROL, false, DROPEFFECT_NONE},
      {MK_LBUTTON | MK_SHIFT | MK_CONTROL, true, DROPEFFECT_NONE},
      {MK_LBUTTON | MK_CONTROL, true, DROPEFFECT_COPY},
      {MK_LBUTTON | MK_CONTROL | MK_ALT, false, DROPEFFECT_COPY},
      {MK_LBUTTON | MK_SHIFT | MK_CONTROL | MK_ALT, false, DROPEFFECT_COPY},
      {MK_LBUTTON | MK_SHIFT, false, DROPEFFECT_MOVE},
      {MK_LBUTTON | MK_ALT, false, DROPEFFECT_MOVE},
      {MK_LBUTTON | MK_SHIFT | MK_ALT, false, DROPEFFECT_MOVE},
  };
  for (const Case& c : cases) {
    drag.sourceEdit = c.ownDrag ? GroupEdit() : nullptr;
    EXPECT_EQ(ComputeDropEffect(c.keys, over), c.effect) << c.keys << " " << c.ownDrag;
    EXPECT_EQ(drag.dropTarget, Item(IDC_FOLDER));
    EXPECT_EQ(drag.dropTargetId, IDC_FOLDER);
  }
  EXPECT_EQ(TextOf(Item(IDC_HINT_PANEL)), "Accept the default or choose an alternative local machine folder");
}

TEST_F(DragDropTest, DropRefusedOverSourceButtonsSurfaceAndDisabledFields) {
  auto at = [](HWND window) {
    POINT point = CentreOf(window);
    return POINTL{point.x, point.y};
  };
  RecordSource(GroupEdit(), 0, 3);
  EXPECT_EQ(ComputeDropEffect(MK_LBUTTON, at(GroupEdit())), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(ComputeDropEffect(MK_LBUTTON, at(Item(IDC_BROWSE))), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(ComputeDropEffect(MK_LBUTTON, at(Item(IDC_FOLDER_LABEL))), static_cast<DWORD>(DROPEFFECT_NONE));
  RecordSource(Item(IDC_FOLDER), 0, 3);
  EXPECT_EQ(ComputeDropEffect(MK_LBUTTON, at(GroupEdit())), static_cast<DWORD>(DROPEFFECT_MOVE));
  EXPECT_EQ(drag.dropTarget, Item(IDC_GROUP));  // the combo box stands for its edit box
  EXPECT_EQ(hint.hintTarget, GroupEdit());
  EnableWindow(Item(IDC_GROUP), FALSE);
  EXPECT_EQ(ComputeDropEffect(MK_LBUTTON, at(Item(IDC_GROUP))), static_cast<DWORD>(DROPEFFECT_NONE));
}

// A data object from "another program", with a chosen reply.
class FakeData : public IDataObject {
 public:
  HRESULT reply = S_OK;
  DWORD tymed = TYMED_HGLOBAL;
  std::string text;
  bool withNul = true;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM* medium) override {
    if (reply != S_OK) return reply;
    medium->tymed = tymed;
    medium->pUnkForRelease = nullptr;
    if (tymed == TYMED_HGLOBAL) {
      const size_t size = text.size() + (withNul ? 1 : 0);
      medium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
      std::memcpy(GlobalLock(medium->hGlobal), text.c_str(), size);
      GlobalUnlock(medium->hGlobal);
    } else {
      medium->tymed = TYMED_NULL;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

TEST_F(DragDropTest, DropSetsFirstLineAndFocusesField) {
  const POINT centre = CentreOf(GroupEdit());
  FakeData data;
  data.text = "Reading Room\r\nsecond line";
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(FieldDropTarget()->Drop(&data, MK_SHIFT, POINTL{centre.x, centre.y}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
  EXPECT_EQ(TextOf(Item(IDC_GROUP)), "Reading Room");
  EXPECT_EQ(GetFocus(), GroupEdit());
  Pump();
  EXPECT_STREQ(setup.groupName, "Reading Room");

  // a block without a terminating NUL is read only within its size; the folder keeps 195 bytes
  const POINT folder = CentreOf(Item(IDC_FOLDER));
  data.text = std::string(300, 'd');
  data.withNul = false;
  EXPECT_EQ(FieldDropTarget()->Drop(&data, 0, POINTL{folder.x, folder.y}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(TextOf(Item(IDC_FOLDER)), std::string(195, 'd'));
  data.text = "abc";
  EXPECT_EQ(FieldDropTarget()->Drop(&data, 0, POINTL{folder.x, folder.y}, &effect), S_OK);
  EXPECT_EQ(TextOf(Item(IDC_FOLDER)), "abc");
}

// A source told "move" deletes its data: a drop that took nothing must say so.
TEST_F(DragDropTest, DropThatTakesNoTextReportsNoEffect) {
  const POINT centre = CentreOf(Item(IDC_FOLDER));
  const POINTL over{centre.x, centre.y};
  FakeData failing;
  failing.reply = DV_E_FORMATETC;
  FakeData otherMedium;
  otherMedium.tymed = TYMED_ISTREAM;
  for (FakeData* data : {&failing, &otherMedium}) {
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(FieldDropTarget()->Drop(data, MK_SHIFT, over, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(TextOf(Item(IDC_FOLDER)), "C:\\Program Files\\xan");
  }
}

TEST_F(DragDropTest, EnterNeedsTheLeftButtonAndLeaveMovesHintBack) {
  const POINT centre = CentreOf(Item(IDC_FOLDER));
  const POINTL over{centre.x, centre.y};
  FakeData data;
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(FieldDropTarget()->DragEnter(&data, 0, over, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(FieldDropTarget()->DragEnter(&data, MK_LBUTTON, over, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(hint.hintTarget, Item(IDC_FOLDER));
  SetFocus(Item(IDC_INSTALL));
  EXPECT_EQ(FieldDropTarget()->DragLeave(), S_OK);
  EXPECT_EQ(hint.hintTarget, Item(IDC_INSTALL));
}

TEST_F(DragDropTest, SetUpAndTearDownToleratesDestroyedWindow) {
  SetUpDragDrop(dialog);
  ASSERT_TRUE(drag.available);
  EXPECT_EQ(drag.registration, S_OK);
  TearDownDragDrop();
  EXPECT_FALSE(drag.available);
  EXPECT_EQ(OleInitialize(nullptr), S_OK);  // OLE was released again
  OleUninitialize();

  SetUpDragDrop(dialog);
  ASSERT_TRUE(drag.available);
  Close(dialog);
  TearDownDragDrop();
  EXPECT_FALSE(drag.available);
  dialog = Open();

  // OLE already initialised by someone else: drag and drop stays off, the count stays balanced
  ASSERT_EQ(OleInitialize(nullptr), S_OK);
  SetUpDragDrop(dialog);
  EXPECT_FALSE(drag.available);
  OleUninitialize();
  EXPECT_EQ(OleInitialize(nullptr), S_OK);
  OleUninitialize();
  EXPECT_FALSE(StartTextDrag(Item(IDC_FOLDER), MAKELONG(0, 3)));
}

}  // namespace
