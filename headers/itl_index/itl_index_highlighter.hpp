// itl_index_highlighter.hpp: a highlighter over one index object
// (ItlClIndexHighlighter), the object behind a highlighter handle.
//
// ItlClHighlighter reaches its index through ItlClHighlighterIndexPort;
// ItlClIndexHighlightPort answers it from an ItlClIndex: load, error info,
// field-name map, document models, the engine's creation record
// (ItlClKernelInterface::fillVozCreateParm of the configuration) and the
// normaliser of the configuration. The index must outlive the highlighter.
#ifndef ITL_INDEX_HIGHLIGHTER_HPP
#define ITL_INDEX_HIGHLIGHTER_HPP

#include "itl_highlighter.hpp"

class ItlClIndex;

class ItlClIndexHighlightPort : public ItlClHighlighterIndexPort {
 public:
  explicit ItlClIndexHighlightPort(ItlClIndex const& index)
      : iv_rclIndex(index) {}

  void load() override;
  ItlClErrorInfo& getErrorInfo() const override;
  ItlClFieldNameMap const& getFieldNameMap() const override;
  ItlClDocumentModels const& getDocumentModels() const override;
  void fillCreateParm(GTRHCREATEPARM& record) const override;
  ItlClNormalization* createNormalizer(CosClCCSID const& ccsid) const override;
  uint32_t getPoolFirstSize() const override;
  uint32_t getPoolGrowthSize() const override;

 private:
  ItlClIndex const& iv_rclIndex;
};

// The port first, so that it exists when the highlighter is built on it.
class ItlClIndexHighlighter : private ItlClIndexHighlightPort,
                              public ItlClHighlighter {
 public:
  ItlClIndexHighlighter(ItlClIndex const& index, unsigned int truncation,
                        unsigned int maximumTruncation)
      : ItlClIndexHighlightPort(index),
        ItlClHighlighter(static_cast<ItlClHighlighterIndexPort&>(*this),
                         truncation, maximumTruncation) {}
  ~ItlClIndexHighlighter() override = default;

  using ItlClIndexHighlightPort::getErrorInfo;
};

#endif  // ITL_INDEX_HIGHLIGHTER_HPP
