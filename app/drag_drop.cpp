// OLE drag and drop of CF_TEXT between the text fields and other programs. The four COM objects are
// plain records: a pointer to a constant table of operations in interface slot order, a 32-bit
// reference count and the identifier of their interface. Only the enumerator is allocated; the
// other three live for the whole process.
#include "app/drag_drop.h"

#include "app/drop_text.h"
#include "app/hints.h"
#include "app/main_dialog.h"
#include "app/text_fields.h"
#include "resources/resource_ids.h"

DragState drag;

namespace {

constexpr WORD OleMajorBuild = 23;
constexpr WORD OleMinorBuildAtLeast = 639;
constexpr DWORD ModifierMask = MK_SHIFT | MK_CONTROL | MK_ALT;
constexpr DWORD ShiftAndControl = MK_SHIFT | MK_CONTROL;
constexpr UINT SharedMoveable = GMEM_DDESHARE | GMEM_MOVEABLE;

const CLIPFORMAT formatList[] = {CF_TEXT};
constexpr uint16_t FormatCount = sizeof formatList / sizeof formatList[0];

// Not inlined: link-time optimisation would otherwise copy it into both of its callers.
__attribute__((noinline)) FORMATETC TextFormatAt(uint16_t index) {
  return FORMATETC{formatList[index], nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

bool IsTextRequest(const FORMATETC* format) {
  return format && format->cfFormat == CF_TEXT && (format->dwAspect & DVASPECT_CONTENT) &&
         (format->tymed & TYMED_HGLOBAL);
}

// ---- what the four objects share ----

// The start of each object: its table of operations, its reference count and the one interface
// it has besides IUnknown.
struct CountedObject {
  const void* operations;
  uint32_t references;
  const IID* own;
};

// The QueryInterface of all four objects.
HRESULT STDMETHODCALLTYPE CountedQueryInterface(CountedObject* self, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, *self->own)) {
    *object = self;
    ++self->references;
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE CountedAddRef(CountedObject* self) { return ++self->references; }

// ---- FormatEnumerator (IEnumFORMATETC) ----

struct FormatEnumerator;
struct FormatEnumeratorOperations {
  HRESULT(STDMETHODCALLTYPE* queryInterface)(CountedObject*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* addRef)(CountedObject*);
  ULONG(STDMETHODCALLTYPE* release)(FormatEnumerator*);
  HRESULT(STDMETHODCALLTYPE* next)(FormatEnumerator*, ULONG, FORMATETC*, ULONG*);
  HRESULT(STDMETHODCALLTYPE* skip)(FormatEnumerator*, ULONG);
  HRESULT(STDMETHODCALLTYPE* reset)(FormatEnumerator*);
  HRESULT(STDMETHODCALLTYPE* clone)(FormatEnumerator*, FormatEnumerator**);
};
struct FormatEnumerator {
  CountedObject counted;  // first, so that the object's address is its own
  uint16_t position;
};

HRESULT NewFormatEnumerator(uint16_t position, FormatEnumerator** result);

ULONG STDMETHODCALLTYPE EnumeratorRelease(FormatEnumerator* self) {
  const uint32_t left = --self->counted.references;
  if (left == 0) GlobalFree(self);
  return left;
}
HRESULT STDMETHODCALLTYPE EnumeratorNext(FormatEnumerator* self, ULONG count, FORMATETC* formats, ULONG* fetched) {
  const ULONG left = self->position < FormatCount ? FormatCount - self->position : 0;
  const ULONG delivered = count < left ? count : left;
  if (delivered && !formats) return E_POINTER;
  for (ULONG i = 0; i < delivered; ++i) formats[i] = TextFormatAt(static_cast<uint16_t>(self->position + i));
  self->position = static_cast<uint16_t>(self->position + delivered);
  if (fetched) *fetched = delivered;
  return delivered == count ? S_OK : S_FALSE;
}
HRESULT STDMETHODCALLTYPE EnumeratorSkip(FormatEnumerator* self, ULONG count) {
  if (self->position > FormatCount || count > static_cast<ULONG>(FormatCount - self->position)) return S_FALSE;
  self->position = static_cast<uint16_t>(self->position + count);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE EnumeratorReset(FormatEnumerator* self) {
  self->position = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE EnumeratorClone(FormatEnumerator* self, FormatEnumerator** result) {
  if (!result) return E_POINTER;
  return NewFormatEnumerator(self->position, result);
}

const FormatEnumeratorOperations enumeratorOperations = {
    CountedQueryInterface, CountedAddRef, EnumeratorRelease, EnumeratorNext, EnumeratorSkip,
    EnumeratorReset, EnumeratorClone,
};

// Not inlined: link-time optimisation would otherwise copy it into each of its callers.
__attribute__((noinline)) HRESULT NewFormatEnumerator(uint16_t position, FormatEnumerator** result) {
  // A fixed global block, from the allocator the data object already uses for its text.
  auto* made = static_cast<FormatEnumerator*>(GlobalAlloc(GMEM_FIXED, sizeof(FormatEnumerator)));
  if (!made) {
    *result = nullptr;
    return E_OUTOFMEMORY;
  }
  // Field by field: a braced record of constants would be kept in a .data section and copied.
  made->counted.operations = &enumeratorOperations;
  made->counted.references = 1;
  made->counted.own = &IID_IEnumFORMATETC;
  made->position = position;
  *result = made;
  return S_OK;
}

// ---- the three static objects: DataObject, DropSource, DropTarget ----

// Static objects are never freed: Release only counts.
ULONG STDMETHODCALLTYPE StaticRelease(CountedObject* self) { return --self->references; }

struct DataObjectOperations {
  HRESULT(STDMETHODCALLTYPE* queryInterface)(CountedObject*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* addRef)(CountedObject*);
  ULONG(STDMETHODCALLTYPE* release)(CountedObject*);
  HRESULT(STDMETHODCALLTYPE* getData)(CountedObject*, FORMATETC*, STGMEDIUM*);
  HRESULT(STDMETHODCALLTYPE* getDataHere)(CountedObject*, FORMATETC*, STGMEDIUM*);
  HRESULT(STDMETHODCALLTYPE* queryGetData)(CountedObject*, FORMATETC*);
  HRESULT(STDMETHODCALLTYPE* getCanonicalFormatEtc)(CountedObject*, FORMATETC*, FORMATETC*);
  HRESULT(STDMETHODCALLTYPE* setData)(CountedObject*, FORMATETC*, STGMEDIUM*, BOOL);
  HRESULT(STDMETHODCALLTYPE* enumFormatEtc)(CountedObject*, DWORD, FormatEnumerator**);
  HRESULT(STDMETHODCALLTYPE* dAdvise)(CountedObject*, FORMATETC*, DWORD, IAdviseSink*, DWORD*);
  HRESULT(STDMETHODCALLTYPE* dUnadvise)(CountedObject*, DWORD);
  HRESULT(STDMETHODCALLTYPE* enumDAdvise)(CountedObject*, IEnumSTATDATA**);
};

// Delivers the recorded selection of the source edit box. The field may have changed since the
// press, or the drag may be over: only what GetWindowTextA actually read is ever moved.
HRESULT STDMETHODCALLTYPE DataGetData(CountedObject*, FORMATETC* format, STGMEDIUM* medium) {
  if (!IsTextRequest(format) || !medium || !drag.sourceEdit) return DV_E_FORMATETC;
  const UINT end = HIWORD(drag.sourceSelection);
  UINT start = LOWORD(drag.sourceSelection);
  HGLOBAL block = GlobalAlloc(SharedMoveable, end + 1);
  if (!block) return DV_E_FORMATETC;
  auto* text = static_cast<char*>(GlobalLock(block));
  if (!text) {
    GlobalFree(block);
    return DV_E_FORMATETC;
  }
  int read = GetWindowTextA(drag.sourceEdit, text, static_cast<int>(end + 1));
  UINT length = read > 0 ? static_cast<UINT>(read) : 0;
  if (length > end) length = end;
  text[length] = '\0';
  if (start > length) start = length;
  // The selection with its terminator moves to the front: copied forward, no byte is overwritten
  // before it is read.
  for (UINT from = start; from <= length; ++from) text[from - start] = text[from];
  GlobalUnlock(block);
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = block;
  medium->pUnkForRelease = nullptr;  // the receiver frees the block
  return S_OK;
}
HRESULT STDMETHODCALLTYPE DataGetDataHere(CountedObject*, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE DataQueryGetData(CountedObject*, FORMATETC* format) {
  return IsTextRequest(format) ? S_OK : S_FALSE;
}
HRESULT STDMETHODCALLTYPE DataGetCanonicalFormatEtc(CountedObject*, FORMATETC*, FORMATETC* out) {
  if (out) out->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}
HRESULT STDMETHODCALLTYPE DataSetData(CountedObject*, FORMATETC*, STGMEDIUM*, BOOL) { return E_FAIL; }
HRESULT STDMETHODCALLTYPE DataEnumFormatEtc(CountedObject*, DWORD direction, FormatEnumerator** result) {
  if (!result) return E_POINTER;
  if (direction != DATADIR_GET) {
    *result = nullptr;
    return E_FAIL;
  }
  return NewFormatEnumerator(0, result);
}
HRESULT STDMETHODCALLTYPE DataDAdvise(CountedObject*, FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
  return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT STDMETHODCALLTYPE DataDUnadvise(CountedObject*, DWORD) { return E_FAIL; }
HRESULT STDMETHODCALLTYPE DataEnumDAdvise(CountedObject*, IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

const DataObjectOperations dataObjectOperations = {
    CountedQueryInterface,     CountedAddRef,   StaticRelease,
    DataGetData,               DataGetDataHere, DataQueryGetData,
    DataGetCanonicalFormatEtc, DataSetData,     DataEnumFormatEtc,
    DataDAdvise,               DataDUnadvise,   DataEnumDAdvise,
};

struct DropSourceOperations {
  HRESULT(STDMETHODCALLTYPE* queryInterface)(CountedObject*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* addRef)(CountedObject*);
  ULONG(STDMETHODCALLTYPE* release)(CountedObject*);
  HRESULT(STDMETHODCALLTYPE* queryContinueDrag)(CountedObject*, BOOL, DWORD);
  HRESULT(STDMETHODCALLTYPE* giveFeedback)(CountedObject*, DWORD);
};

HRESULT STDMETHODCALLTYPE SourceQueryContinueDrag(CountedObject*, BOOL escapePressed, DWORD keyState) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  return (keyState & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
}
HRESULT STDMETHODCALLTYPE SourceGiveFeedback(CountedObject*, DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

const DropSourceOperations dropSourceOperations = {
    CountedQueryInterface, CountedAddRef, StaticRelease, SourceQueryContinueDrag,
    SourceGiveFeedback,
};

struct DropTargetOperations {
  HRESULT(STDMETHODCALLTYPE* queryInterface)(CountedObject*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* addRef)(CountedObject*);
  ULONG(STDMETHODCALLTYPE* release)(CountedObject*);
  HRESULT(STDMETHODCALLTYPE* dragEnter)(CountedObject*, IDataObject*, DWORD, POINTL, DWORD*);
  HRESULT(STDMETHODCALLTYPE* dragOver)(CountedObject*, DWORD, POINTL, DWORD*);
  HRESULT(STDMETHODCALLTYPE* dragLeave)(CountedObject*);
  HRESULT(STDMETHODCALLTYPE* drop)(CountedObject*, IDataObject*, DWORD, POINTL, DWORD*);
};

// Sets the first line of the dropped text, cut to the field's limit; false when none was taken.
bool TakeDroppedText(const STGMEDIUM& medium) {
  if (medium.tymed != TYMED_HGLOBAL) return false;
  const char* block = static_cast<const char*>(GlobalLock(medium.hGlobal));
  if (!block) return false;
  // A block from another program need not hold a NUL: never read past its size.
  const FieldDescriptor* field = FieldFor(drag.dropTargetId);
  CutDropText(drag.dropBuffer, block, GlobalSize(medium.hGlobal), field ? field->maximumLength : 0, NextCharacter);
  HWND target = drag.dropTarget;
  SetWindowTextA(target, drag.dropBuffer);
  FocusDialogControl(target);
  GlobalUnlock(medium.hGlobal);
  return true;
}

HRESULT STDMETHODCALLTYPE TargetDragEnter(CountedObject*, IDataObject*, DWORD keyState, POINTL point, DWORD* effect) {
  *effect = (keyState & MK_LBUTTON) ? ComputeDropEffect(keyState, point) : DROPEFFECT_NONE;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TargetDragOver(CountedObject*, DWORD keyState, POINTL point, DWORD* effect) {
  *effect = ComputeDropEffect(keyState, point);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TargetDragLeave(CountedObject*) {
  ShowHint(DialogWindow());
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TargetDrop(CountedObject*, IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  *effect = ComputeDropEffect(keyState, point);
  ShowHint(DialogWindow());
  if (!(*effect & (DROPEFFECT_COPY | DROPEFFECT_MOVE))) return S_OK;
  FORMATETC format = TextFormatAt(0);
  STGMEDIUM medium{};
  if (!data || FAILED(data->GetData(&format, &medium))) {
    *effect = DROPEFFECT_NONE;  // a source told "move" would delete data we never took
    return S_OK;
  }
  if (!TakeDroppedText(medium)) *effect = DROPEFFECT_NONE;
  ReleaseStgMedium(&medium);
  return S_OK;
}

const DropTargetOperations dropTargetOperations = {
    CountedQueryInterface, CountedAddRef, StaticRelease, TargetDragEnter, TargetDragOver,
    TargetDragLeave, TargetDrop,
};

// Zero-filled and completed on first use: an initialised object would bring a whole .data
// section into the uninstaller copy for 36 bytes.
CountedObject dataObject, dropSource, dropTarget;

// Not inlined: link-time optimisation would otherwise copy it into every use of the three objects.
__attribute__((noinline)) CountedObject* ReadyObject(CountedObject& object, const void* operations, REFIID own) {
  if (!object.operations) object = {operations, 1, &own};
  return &object;
}

bool IsTextField(HWND dialog, HWND control, uint16_t id) {
  return (id == IDC_GROUP || id == IDC_FOLDER) && GetParent(control) == dialog;
}

}  // namespace

IDataObject* TextDataObject() {
  return reinterpret_cast<IDataObject*>(ReadyObject(dataObject, &dataObjectOperations, IID_IDataObject));
}
IDropSource* TextDropSource() {
  return reinterpret_cast<IDropSource*>(ReadyObject(dropSource, &dropSourceOperations, IID_IDropSource));
}
IDropTarget* FieldDropTarget() {
  return reinterpret_cast<IDropTarget*>(ReadyObject(dropTarget, &dropTargetOperations, IID_IDropTarget));
}

HRESULT CreateFormatEnumerator(uint16_t position, IEnumFORMATETC** result) {
  if (!result) return E_POINTER;
  FormatEnumerator* made = nullptr;
  const HRESULT status = NewFormatEnumerator(position, &made);
  *result = reinterpret_cast<IEnumFORMATETC*>(made);
  return status;
}

DWORD ComputeDropEffect(DWORD keyState, POINTL point) {
  HWND dialog = DialogWindow();
  HWND window = WindowFromPoint(POINT{point.x, point.y});
  HWND parent = window ? GetParent(window) : nullptr;
  drag.dropTarget = (parent && parent != dialog) ? parent : window;
  drag.dropTargetId = static_cast<uint16_t>(drag.dropTarget ? GetDlgCtrlID(drag.dropTarget) : 0);

  const bool ontoSource = drag.sourceEdit && (window == drag.sourceEdit || window == GetParent(drag.sourceEdit));
  if (!window || ontoSource || !IsTextField(dialog, drag.dropTarget, drag.dropTargetId)) {
    ShowHint(dialog);
    return DROPEFFECT_NONE;
  }
  ShowHint(drag.dropTarget);
  const DWORD modifiers = keyState & ModifierMask;
  if (modifiers == 0) return drag.sourceEdit ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
  if (modifiers == ShiftAndControl) return DROPEFFECT_NONE;
  if (modifiers & MK_CONTROL) return DROPEFFECT_COPY;
  return DROPEFFECT_MOVE;
}

void SetUpDragDrop(HWND dialog) {
  const DWORD version = OleBuildVersion();
  if (HIWORD(version) != OleMajorBuild || LOWORD(version) < OleMinorBuildAtLeast) return;
  const HRESULT initialised = OleInitialize(nullptr);
  if (initialised != S_OK) {
    // Someone else initialised OLE on this thread: balance our call and stay off.
    if (SUCCEEDED(initialised)) OleUninitialize();
    return;
  }
  drag.available = true;
  IDropTarget* target = FieldDropTarget();
  CoLockObjectExternal(reinterpret_cast<IUnknown*>(target), TRUE, FALSE);
  drag.registration = RegisterDragDrop(dialog, target);
  drag.registeredWindow = dialog;
}

void TearDownDragDrop() {
  if (!drag.available) return;
  CoLockObjectExternal(reinterpret_cast<IUnknown*>(FieldDropTarget()), FALSE, TRUE);
  // Shut-down may come after the dialog has gone; its registration went with it.
  if (SUCCEEDED(drag.registration) && IsWindow(drag.registeredWindow)) RevokeDragDrop(drag.registeredWindow);
  drag.registration = E_FAIL;
  drag.registeredWindow = nullptr;
  OleUninitialize();
  drag.available = false;
}

bool StartTextDrag(HWND editBox, DWORD selection) {
  if (!drag.available) return false;
  drag.sourceEdit = editBox;
  drag.sourceSelection = selection;
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT result = DoDragDrop(TextDataObject(), TextDropSource(), DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  // The effect means something only for a completed drop.
  if (result != DRAGDROP_S_DROP) effect = DROPEFFECT_NONE;
  if ((effect & DROPEFFECT_MOVE) && IsWindow(editBox)) {
    SendMessageA(editBox, EM_SETSEL, LOWORD(selection), HIWORD(selection));
    SendMessageA(editBox, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(""));
  }
  drag.sourceEdit = nullptr;
  return result == DRAGDROP_S_CANCEL || (effect & (DROPEFFECT_COPY | DROPEFFECT_MOVE));
}
