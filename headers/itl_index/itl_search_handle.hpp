// itl_search_handle.hpp: the loaded, searchable view of an index on which
// queries are built and operands finalised (ItlClIndexSearch). It holds the
// index object, its context and the context's error info; it owns none of
// them (the index handle must outlive it).
#ifndef ITL_SEARCH_HANDLE_HPP
#define ITL_SEARCH_HANDLE_HPP

#include "itl_context.hpp"
#include "itl_index.hpp"

class ItlClErrorInfo;

class ItlClIndexSearch {
 public:
  explicit ItlClIndexSearch(ItlClIndex& index)
      : iv_rclIndex(index),
        iv_rclErrorInfo(index.getContext().getErrorInfo()),
        iv_rclContext(index.getContext()) {}
  virtual ~ItlClIndexSearch() = default;
  ItlClIndexSearch(ItlClIndexSearch const&) = delete;
  ItlClIndexSearch& operator=(ItlClIndexSearch const&) = delete;

  ItlClIndex& getIndex() const { return iv_rclIndex; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }
  ItlClContext& getContext() const { return iv_rclContext; }

 private:
  ItlClIndex& iv_rclIndex;
  ItlClErrorInfo& iv_rclErrorInfo;
  ItlClContext& iv_rclContext;
};

#endif  // ITL_SEARCH_HANDLE_HPP
