// itl_index_highlighter.cpp: the highlighter's port of an index.
#include "itl_index_highlighter.hpp"

#include "cos_language.hpp"
#include "files/voz_records_create.hpp"
#include "itl_index.hpp"
#include "itl_index_config.hpp"
#include "itl_index_normalizer.hpp"
#include "itl_kernel_interface.hpp"

void ItlClIndexHighlightPort::load() { iv_rclIndex.load(); }

ItlClErrorInfo& ItlClIndexHighlightPort::getErrorInfo() const {
  return iv_rclIndex.getErrorInfo();
}

ItlClFieldNameMap const& ItlClIndexHighlightPort::getFieldNameMap() const {
  return iv_rclIndex.getFieldNameMap();
}

ItlClDocumentModels const& ItlClIndexHighlightPort::getDocumentModels() const {
  return iv_rclIndex.getDocumentModels();
}

void ItlClIndexHighlightPort::fillCreateParm(GTRHCREATEPARM& record) const {
  ItlClKernelInterface::fillVozCreateParm(record, iv_rclIndex.getConfig());
}

ItlClNormalization* ItlClIndexHighlightPort::createNormalizer(
    CosClCCSID const& ccsid) const {
  CosClLanguage const none(static_cast<char const*>(nullptr));
  return itlCreateNormalizer(iv_rclIndex.getConfig(), ccsid, none);
}

uint32_t ItlClIndexHighlightPort::getPoolFirstSize() const {
  return iv_rclIndex.getConfig().getMemoryPoolSearchInitialSize();
}

uint32_t ItlClIndexHighlightPort::getPoolGrowthSize() const {
  return iv_rclIndex.getConfig().getMemoryPoolSearchGrowthSize();
}
