// itl_api_list.cpp: the exported list and iterator functions. They work on
// any list derived from ItlClListABase and dispatch through its virtual
// operations; reading an element belongs to each list kind's own
// functions.
#include "itl_api_frame.hpp"
#include "itl_api_list.h"
#include "itl_list.hpp"

namespace {

ItlClListABase* listOf(ItlTyListHandle handle) {
  return reinterpret_cast<ItlClListABase*>(handle);
}
ItlClListABase::Iterator* iteratorOf(ItlTyIteratorHandle handle) {
  return reinterpret_cast<ItlClListABase::Iterator*>(handle);
}

}  // namespace

ItlEnReturnCode itlHandleDeleteList(ItlTyListHandle* handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_list"));
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClListABase* list = listOf(*handle);
  ItlClErrorInfo& errorInfo = list->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_list"), [&] {
    itlApiDestroy(list);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlListObtainNumberOfElements(ItlTyListHandle handle,
                                              uint32_t* count) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_list"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClListABase* list = listOf(handle);
  ItlClErrorInfo& errorInfo = list->getErrorInfo();
  itlApiReset(errorInfo);
  if (count == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_list"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_list"),
                       [&] { *count = list->getNumberOfElements(); });
}

ItlEnReturnCode itlHandleNewIterator(ItlTyListHandle handle,
                                     ItlTyIteratorHandle* iterator) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_list"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClListABase* list = listOf(handle);
  ItlClErrorInfo& errorInfo = list->getErrorInfo();
  itlApiReset(errorInfo);
  if (iterator == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_list"),
                             ItlEnReasonCode_Invalid_argument);
  *iterator = nullptr;
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_list"), [&] {
    *iterator = reinterpret_cast<ItlTyIteratorHandle>(list->getNewIterator());
  });
}

ItlEnReturnCode itlHandleDeleteIterator(ItlTyIteratorHandle* handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_list"));
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClListABase::Iterator* iterator = iteratorOf(*handle);
  // The list (and its error info) may be gone: the iterator stays.
  if (!iterator->isListValid()) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = iterator->getList().getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_list"), [&] {
    itlApiDestroy(iterator);
    *handle = nullptr;
  });
}

bool itlListIteratorIsValid(ItlTyIteratorHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_list"));
  if (handle == nullptr) return false;
  ItlClListABase::Iterator* iterator = iteratorOf(handle);
  return iterator->isListValid() && iterator->isValid();
}

// The navigation functions answer false for a null iterator, for one whose
// list is gone and for anything the list's iterator throws: no exception
// leaves them.
namespace {

template <class Step>
bool itlApiNavigate(ItlTyIteratorHandle handle, Step&& step) {
  if (handle == nullptr) return false;
  ItlClListABase::Iterator* iterator = iteratorOf(handle);
  if (!iterator->isListValid()) return false;
  try {
    return step(*iterator);
  } catch (...) {
    return false;
  }
}

}  // namespace

bool itlListIteratorIsAtFirst(ItlTyIteratorHandle handle) {
  return itlApiNavigate(handle, [](ItlClListABase::Iterator& i) {
    return i.isAtFirstElement();
  });
}

bool itlListIteratorIsAtLast(ItlTyIteratorHandle handle) {
  return itlApiNavigate(handle, [](ItlClListABase::Iterator& i) {
    return i.isAtLastElement();
  });
}

bool itlListIteratorSetToFirst(ItlTyIteratorHandle handle) {
  return itlApiNavigate(
      handle, [](ItlClListABase::Iterator& i) { return i.setToFirst(); });
}

bool itlListIteratorSetToLast(ItlTyIteratorHandle handle) {
  return itlApiNavigate(
      handle, [](ItlClListABase::Iterator& i) { return i.setToLast(); });
}

bool itlListIteratorSetToNext(ItlTyIteratorHandle handle, uint32_t steps) {
  return itlApiNavigate(handle, [steps](ItlClListABase::Iterator& i) {
    return i.setToNext(steps);
  });
}

bool itlListIteratorSetToPrevious(ItlTyIteratorHandle handle,
                                  uint32_t steps) {
  return itlApiNavigate(handle, [steps](ItlClListABase::Iterator& i) {
    return i.setToPrevious(steps);
  });
}
