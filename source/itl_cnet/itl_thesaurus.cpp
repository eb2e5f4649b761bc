// itl_thesaurus.cpp: the exported thesaurus lookup functions (libvqxthes)
// over the dictionary engine's lookup and information calls, on the index
// library's API frame (without trace records): ItlClThesaurus behind a
// lookup handle, the output list ItlClThesOutputList (list type 100001)
// with its iterator, the CCSID table and the dictionary errors as
// ItlClException.
#include <cstdio>
#include <cstring>
#include <string>

#include "cnet_refer.hpp"
#include "itl_api_frame.hpp"
#include "itl_list.hpp"
#include "itl_thesaurus.h"
#include "itl_voz_interface.hpp"
#include "voz_cnet.h"

#define ITL_THES_POS ITL_SOURCE("source/itl_cnet/itl_thesaurus")
#define ITL_THES_ORIGIN "source/itl_cnet/itl_thesaurus:" COS_STRINGIFY(__LINE__)

namespace {

constexpr size_t kNameMax = 4096;
constexpr uint32_t kUserStep = 10;
constexpr uint32_t kDefaultDepth = 10;

// The records of one lookup, shared by its list and the list's iterators.
class ItlClThesOutput : public ItlClReferenceCounter {
 public:
  explicit ItlClThesOutput(uint32_t limit)
      : iv_uiCount(0), iv_uiLimit(limit), iv_pstRecords(nullptr) {
    const uint32_t room = limit > 0 ? limit : 1;
    iv_pstRecords = static_cast<CNETRESULT*>(
        CosClMemoryManager::allocate(room * static_cast<uint32_t>(sizeof(CNETRESULT))));
    std::memset(iv_pstRecords, 0, room * sizeof(CNETRESULT));
  }
  ~ItlClThesOutput() override { CosClMemoryManager::free(iv_pstRecords); }

  uint32_t iv_uiCount;
  uint32_t iv_uiLimit;
  CNETRESULT* iv_pstRecords;
};

class ItlClThesOutputList : public ItlClListABase {
 public:
  class ItlClThesIterator : public ItlClListABase::Iterator {
   public:
    explicit ItlClThesIterator(ItlClThesOutputList const& list)
        : Iterator(list), iv_clOutput(list.iv_clOutput), iv_uiIndex(0) {}
    ~ItlClThesIterator() override = default;

    bool isAtFirstElement() const override { return iv_uiIndex == 0; }
    bool isAtLastElement() const override { return iv_uiIndex + 1 == count(); }
    bool isValid() const override { return iv_uiIndex < count(); }
    bool setToFirst() override {
      iv_uiIndex = 0;
      return true;
    }
    bool setToLast() override {
      if (count() == 0) return false;
      iv_uiIndex = count() - 1;
      return true;
    }
    bool setToNext(unsigned int steps) override {
      if (uint64_t{iv_uiIndex} + steps >= count()) return false;
      iv_uiIndex += steps;
      return true;
    }
    bool setToPrevious(unsigned int steps) override {
      if (steps > iv_uiIndex) return false;
      iv_uiIndex -= steps;
      return true;
    }
    void const* getCurrent() const override {
      return &iv_clOutput->iv_pstRecords[iv_uiIndex];
    }

   private:
    uint32_t count() const { return iv_clOutput->iv_uiCount; }
    ItlClRefCountLink<ItlClThesOutput> iv_clOutput;
    uint32_t iv_uiIndex;
  };

  ItlClThesOutputList(ItlClErrorInfo& errorInfo, uint32_t limit)
      : ItlClListABase(ItlEnListType_ArrayBasedList, errorInfo) {
    void* memory = CosClMemoryManager::allocate(sizeof(ItlClThesOutput));
    try {
      iv_clOutput.set(new (memory) ItlClThesOutput(limit));
    } catch (...) {
      CosClMemoryManager::free(memory);
      throw;
    }
  }
  ~ItlClThesOutputList() override = default;

  uint32_t getNumberOfElements() const override { return iv_clOutput->iv_uiCount; }
  bool matchesType(ItlEnListType type) const override {
    return type == ItlEnListType_ArrayBasedList;
  }
  Iterator* getNewIterator() const override {
    return itlApiMake<ItlClThesIterator>(ItlClNoInit(), *this);
  }
  ItlClThesOutput& output() { return *iv_clOutput.get(); }

 private:
  ItlClRefCountLink<ItlClThesOutput> iv_clOutput;
};

}  // namespace

// The object behind a lookup handle.
class ItlClThesaurus {
 public:
  ItlClThesaurus(ItlClContext& context, uint8_t codepage, uint32_t termLimit)
      : iv_rclContext(context), iv_ucCodepage(codepage), iv_bResultsCut(false),
        iv_uiLastCount(0), iv_pvRefer(nullptr), iv_uiUserRoom(0) {
    cnetClearStatus(&iv_stStatus);
    std::memset(&iv_stPath, 0, sizeof iv_stPath);
    std::memset(&iv_stBase, 0, sizeof iv_stBase);
    iv_stPath.termLimit = termLimit;
    iv_stPath.depthLimit = kDefaultDepth;
    iv_stBase.precision = 100;
    iv_acDir[0] = iv_acName[0] = '\0';
    iv_stPath.userRels = static_cast<CNETUSERREL*>(
        CosClMemoryManager::allocate(kUserStep * sizeof(CNETUSERREL)));
    iv_uiUserRoom = kUserStep;
  }
  ~ItlClThesaurus() {
    CosClMemoryManager::free(iv_stPath.userRels);
    vozCNETrefer_Release(&iv_pvRefer, &iv_stStatus);
  }
  ItlClThesaurus(ItlClThesaurus const&) = delete;
  ItlClThesaurus& operator=(ItlClThesaurus const&) = delete;

  ItlClErrorInfo& errorInfo() const { return iv_rclContext.getErrorInfo(); }

  void addUserRelation(uint32_t kind, uint32_t number) {
    if (iv_stPath.userCount == iv_uiUserRoom) {
      const uint32_t room = iv_uiUserRoom + kUserStep;
      CNETUSERREL* grown = static_cast<CNETUSERREL*>(
          CosClMemoryManager::allocate(room * static_cast<uint32_t>(sizeof(CNETUSERREL))));
      std::memcpy(grown, iv_stPath.userRels, iv_stPath.userCount * sizeof(CNETUSERREL));
      CosClMemoryManager::free(iv_stPath.userRels);
      iv_stPath.userRels = grown;
      iv_uiUserRoom = room;
    }
    CNETUSERREL& u = iv_stPath.userRels[iv_stPath.userCount++];
    std::memset(&u, 0, sizeof u);
    u.kind = kind;
    u.number = number;
  }

  // Runs the lookup of `base` (null: the top terms) with `path` into a new
  // list; a dictionary error raises.
  ItlClThesOutputList* lookup(CNETBASE const* base, CNETPATH const& path) {
    ItlClThesOutputList* list = itlApiMake<ItlClThesOutputList>(
        [](ItlClThesOutputList& l) { l.init(); }, errorInfo(), path.termLimit);
    ItlClThesOutput& out = list->output();
    CNETOUTPUT o;
    std::memset(&o, 0, sizeof o);
    o.results = out.iv_pstRecords;
    vozCNETrefer(&iv_pvRefer, nullptr, iv_acName, iv_acDir, base, &path, nullptr, &o,
                 &iv_stStatus);
    if (iv_stStatus.retcode != 0) {
      itlApiDestroy(list);
      iv_uiLastCount = 0;
      iv_bResultsCut = false;
      itlHandleCnetError();
    }
    out.iv_uiCount = o.count;
    iv_uiLastCount = o.count;
    iv_bResultsCut = iv_stStatus.resultsCut != 0;
    return list;
  }

  // The dictionary status as an ItlClException (return code 8, action
  // Inform, the reason of the retcode, the kernel codes and one line by
  // retcode as context).
  [[noreturn]] void itlHandleCnetError() const;

  ItlClContext& iv_rclContext;
  uint8_t iv_ucCodepage;
  CNETSTATUS iv_stStatus;
  bool iv_bResultsCut;
  uint32_t iv_uiLastCount;
  void* iv_pvRefer;
  CNETPATH iv_stPath;
  uint32_t iv_uiUserRoom;
  CNETBASE iv_stBase;
  char iv_acDir[kNameMax + 1];
  char iv_acName[kNameMax + 1];
};

namespace {

struct CcsidRow {
  uint16_t ccsid;
  uint8_t codepage;
};
constexpr CcsidRow kCcsids[] = {
    {932, 1},   {942, 1},   {943, 1},   {5039, 1}, {950, 2},   {949, 3},  {970, 3},
    {1363, 3},  {850, 5},   {819, 7},   {1252, 8}, {1381, 9},  {1383, 9}, {1386, 9},
    {1250, 16}, {1251, 17}, {1253, 18}, {1254, 19}, {1255, 20}, {1256, 21}, {1257, 22},
    {1258, 23}, {874, 24},  {1208, 34}, {954, 35},
};

// The context message of a dictionary retcode (0 when none is given).
int messageFor(CNETSTATUS const& st) {
  switch (st.retcode) {
    case 503: return 108;
    case 510: return 109;
    case 511: return 111;
    case 512: return 112;
    case 513:
    case 514: return 113;
    case 515: return 114;
    case 516: return 115;
    case 517: return 116;
    case 520: return 118;
    case 521: return 119;
    case 530: return 120;
    case 531: return 121;
    case 540: return 122;
    case 541: return 123;
    case 542: return 124;
    case 543: return 125;
    case 544: return 126;
    case 550: return 127;
    case 551: return 128;
    case 552: return 129;
    case 567: {
      static const int reasons[11] = {130, 137, 138, 139, 139, 140, 141, 142, 143, 144, 145};
      return st.errcode <= 10 ? reasons[st.errcode] : 130;
    }
    default: return 107;
  }
}

bool namesDictionary(uint32_t retcode) {
  return retcode == 530 || retcode == 531 || (retcode >= 541 && retcode <= 544);
}

ItlClThesaurus* thesaurusOf(ItlTyThesaurusLookupHandle handle) {
  return reinterpret_cast<ItlClThesaurus*>(handle);
}

}  // namespace

// The dictionary code page of a CCSID; another CCSID raises reason 11.
uint8_t map2GTRCCSID(uint16_t ccsid);
uint8_t map2GTRCCSID(uint16_t ccsid) {
  for (const CcsidRow& r : kCcsids)
    if (r.ccsid == ccsid) return r.codepage;
  ItlClException e(ITL_THES_POS, ItlEnReasonCode_Ccsid_not_supported, ItlEnReturnCode_Error,
                   ItlEnErrorAction_Inform);
  e.resetContext(std::to_string(ccsid).c_str());
  e.raise();
}

void ItlClThesaurus::itlHandleCnetError() const {
  const CNETSTATUS& st = iv_stStatus;
  ItlClException e(ITL_THES_POS,
                   ItlClVozInterface::getItlReasonCodeForVozRc(static_cast<int32_t>(st.retcode)),
                   ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
  e.context(14) << ": " << st.retcode;
  e.context(15) << ": " << st.errcode;
  char line[16];
  std::snprintf(line, sizeof line, "%u", st.line);
  const char* first = namesDictionary(st.retcode) ? iv_acName : st.fname1;
  e.context(messageFor(st), first, st.retcode == 567 && st.line != 0 ? line : st.fname2);
  if (st.resultsCut != 0) e.context(74);
  e.raise();
}

// ---- the exported functions ----------------------------------------------------

ItlEnReturnCode itlHandleNewThesaurusLookup(char const* dirspec, char const* name,
                                            uint16_t ccsid, uint32_t termLimit,
                                            ItlTyThesaurusLookupHandle* handle,
                                            ItlTyContextHandle contextHandle) {
  if (contextHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(contextHandle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr || dirspec == nullptr || name == nullptr ||
      std::strlen(dirspec) > kNameMax || std::strlen(name) > kNameMax)
    return itlApiCheckFailed(errorInfo, ITL_THES_ORIGIN, ItlEnReasonCode_Invalid_argument);
  *handle = nullptr;
  return itlApiGuarded(errorInfo, ITL_THES_ORIGIN, [&] {
    const uint8_t codepage = map2GTRCCSID(ccsid);
    ItlClThesaurus* t = itlApiMake<ItlClThesaurus>(
        [&](ItlClThesaurus& th) {
          std::strcpy(th.iv_acDir, dirspec);
          std::strcpy(th.iv_acName, name);
        },
        context, codepage, termLimit);
    *handle = reinterpret_cast<ItlTyThesaurusLookupHandle>(t);
  });
}

ItlEnReturnCode itlHandleDeleteThesaurusLookup(ItlTyThesaurusLookupHandle* handle) {
  if (handle == nullptr || *handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus* t = thesaurusOf(*handle);
  ItlClErrorInfo& errorInfo = t->errorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_THES_ORIGIN, [&] {
    itlApiDestroy(t);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlThesaurusLookupSetRelationTypes(ItlTyThesaurusLookupHandle handle,
                                                   uint8_t mask) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  itlApiReset(t.errorInfo());
  t.iv_stPath.types = mask;
  t.iv_stPath.userKinds = static_cast<uint8_t>(mask & 0x7F);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlThesaurusLookupAddRelation(ItlTyThesaurusLookupHandle handle, uint8_t type,
                                              uint16_t number) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  ItlClErrorInfo& errorInfo = t.errorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_THES_ORIGIN, [&] {
    if (number > 128) {
      ItlClException e(ITL_THES_POS, ItlEnReasonCode_Invalid_relation_number);
      e.resetContext(std::to_string(number).c_str());
      e.raise();
    }
    if (number == 0) {
      t.iv_stPath.types = static_cast<uint8_t>(t.iv_stPath.types | type);
      return;
    }
    const uint32_t kind = type == ITL_THES_RELATED ? CNET_KIND_USER_ASSOC
                          : type == ITL_THES_HIGHER ? CNET_KIND_USER_HIGHER
                          : type == ITL_THES_LOWER  ? CNET_KIND_USER_LOWER
                                                    : 0;
    if (kind == 0) {
      ItlClException e(ITL_THES_POS, ItlEnReasonCode_Invalid_relation_type);
      e.resetContext("ITL_THES_SYNONYM");
      e.raise();
    }
    t.addUserRelation(kind, number);
  });
}

ItlEnReturnCode itlThesaurusLookupSetTermLimit(ItlTyThesaurusLookupHandle handle,
                                               uint32_t limit) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  itlApiReset(t.errorInfo());
  t.iv_stPath.termLimit = limit;
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlThesaurusLookupSetDepth(ItlTyThesaurusLookupHandle handle, uint16_t depth) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  itlApiReset(t.errorInfo());
  t.iv_stPath.depthLimit = depth == 0 ? kDefaultDepth : depth;
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlThesaurusLookupSetStrength(ItlTyThesaurusLookupHandle handle,
                                              uint8_t strength) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  itlApiReset(t.errorInfo());
  if (strength > 100)
    return itlApiCheckFailed(t.errorInfo(), ITL_THES_ORIGIN,
                             ItlEnReasonCode_Invalid_term_strength);
  t.iv_stPath.minStrength = strength;
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlThesaurusLookupSetMasks(ItlTyThesaurusLookupHandle handle,
                                           char const* singleMask, uint32_t singleLength,
                                           char const* multipleMask, uint32_t multipleLength) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  itlApiReset(t.errorInfo());
  if (singleLength > 1)
    return itlApiCheckFailed(t.errorInfo(), ITL_THES_ORIGIN,
                             ItlEnReasonCode_Invalid_single_character_mask);
  if (multipleLength > 1)
    return itlApiCheckFailed(t.errorInfo(), ITL_THES_ORIGIN,
                             ItlEnReasonCode_Invalid_multiple_character_mask);
  t.iv_stBase.singleMask =
      singleLength == 1 && singleMask != nullptr ? static_cast<uint8_t>(singleMask[0]) : 0;
  t.iv_stBase.multiMask =
      multipleLength == 1 && multipleMask != nullptr ? static_cast<uint8_t>(multipleMask[0]) : 0;
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlThesaurusLookupPerform(ItlTyThesaurusLookupHandle handle,
                                          ItlTyListHandle* list, char const* term,
                                          uint32_t termLength) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  ItlClErrorInfo& errorInfo = t.errorInfo();
  itlApiReset(errorInfo);
  if (list == nullptr || (term == nullptr && termLength > 0))
    return itlApiCheckFailed(errorInfo, ITL_THES_ORIGIN, ItlEnReasonCode_Invalid_argument);
  *list = nullptr;
  return itlApiGuarded(errorInfo, ITL_THES_ORIGIN, [&] {
    if (termLength > 64) {
      ItlClException e(ITL_THES_POS, ItlEnReasonCode_Specified_phrase_too_long);
      e.resetContext(std::to_string(termLength).c_str());
      e.raise();
    }
    CNETBASE base = t.iv_stBase;
    std::memset(base.term, 0, sizeof base.term);
    if (termLength > 0) std::memcpy(base.term, term, termLength);
    base.length = static_cast<uint16_t>(termLength);
    base.precision = 100;
    *list = reinterpret_cast<ItlTyListHandle>(
        static_cast<ItlClListABase*>(t.lookup(&base, t.iv_stPath)));
  });
}

ItlEnReturnCode itlThesaurusLookupObtainHighestTerms(ItlTyThesaurusLookupHandle handle,
                                                     ItlTyListHandle* list) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  ItlClErrorInfo& errorInfo = t.errorInfo();
  itlApiReset(errorInfo);
  if (list == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_THES_ORIGIN, ItlEnReasonCode_Invalid_argument);
  *list = nullptr;
  return itlApiGuarded(errorInfo, ITL_THES_ORIGIN, [&] {
    // A cleared copy of the request: the handle's settings stay for later
    // lookups.
    CNETPATH path = t.iv_stPath;
    path.types = 0;
    path.userKinds = 0;
    path.userCount = 0;
    path.userRels = nullptr;
    path.depthLimit = 0;
    *list = reinterpret_cast<ItlTyListHandle>(
        static_cast<ItlClListABase*>(t.lookup(nullptr, path)));
  });
}

ItlEnReturnCode itlThesaurusLookupObtainProperties(ItlTyThesaurusLookupHandle handle,
                                                   uint32_t* words, uint32_t* groups) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  ItlClErrorInfo& errorInfo = t.errorInfo();
  itlApiReset(errorInfo);
  if (words == nullptr || groups == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_THES_ORIGIN, ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_THES_ORIGIN, [&] {
    CNETINFO info;
    cnetClearStatus(&t.iv_stStatus);
    if (!cnetInfo(t.iv_acDir, t.iv_acName, &info, &t.iv_stStatus)) t.itlHandleCnetError();
    *words = info.liveWords;
    *groups = info.liveGroups;
  });
}

ItlEnReturnCode itlThesaurusLookupObtainResultInformation(ItlTyThesaurusLookupHandle handle,
                                                          uint32_t* count, bool* complete) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClThesaurus& t = *thesaurusOf(handle);
  itlApiReset(t.errorInfo());
  if (count == nullptr || complete == nullptr)
    return itlApiCheckFailed(t.errorInfo(), ITL_THES_ORIGIN, ItlEnReasonCode_Invalid_argument);
  *count = t.iv_uiLastCount;
  *complete = !t.iv_bResultsCut;
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlThesaurusEntryObtainData(ItlTyIteratorHandle handle, char* term,
                                            uint32_t* length, uint8_t* strength,
                                            uint16_t* depth, uint8_t* kind, uint16_t* number) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  auto* iterator = reinterpret_cast<ItlClListABase::Iterator*>(handle);
  if (!iterator->isListValid()) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = iterator->getList().getErrorInfo();
  itlApiReset(errorInfo);
  if (!iterator->getList().matchesType(ItlEnListType_ArrayBasedList) || !iterator->isValid())
    return itlApiCheckFailed(errorInfo, ITL_THES_ORIGIN, ItlEnReasonCode_Invalid_argument);
  const CNETRESULT& r = *static_cast<CNETRESULT const*>(iterator->getCurrent());
  const uint32_t n = r.length <= ITL_THES_TERM_MAX ? r.length : ITL_THES_TERM_MAX;
  if (term != nullptr) std::memcpy(term, r.term, n);
  if (length != nullptr) *length = n;
  if (strength != nullptr) *strength = r.strength;
  if (depth != nullptr) *depth = static_cast<uint16_t>(r.depth);
  if (kind != nullptr) *kind = static_cast<uint8_t>(r.relKind);
  if (number != nullptr) *number = static_cast<uint16_t>(r.relNumber);
  return ItlEnReturnCode_Success;
}
