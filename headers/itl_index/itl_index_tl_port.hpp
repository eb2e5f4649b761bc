// itl_index_tl_port.hpp: the text layer's port of one index
// (ItlClIndexTlPort).
//
// The document operations are the kernel interface's (forwarded by
// ItlClKernelInterfacePortABase); the index adds what the text layer asks
// beyond them: the normaliser settings of its configuration, its context
// and the assignment of field and attribute numbers through its name maps.
#ifndef ITL_INDEX_TL_PORT_HPP
#define ITL_INDEX_TL_PORT_HPP

#include "itl_kernel_interface_port.hpp"

class ItlClIndex;

class ItlClIndexTlPort : public ItlClKernelInterfacePortABase {
 public:
  // REQUIRES: the index's parts exist; the index outlives the port.
  explicit ItlClIndexTlPort(ItlClIndex& index);

  int32_t getUnicodeNormalization() const override;
  bool getUmlautNormalization() const override;
  bool getAccentRemoval() const override;
  ItlClContext& getContext() override;
  void assignFieldNameToNumber(char const* name, unsigned short& number,
                               bool& isNew) override;
  void assignAttributeNameToNumber(char const* name, ItlEnAttributeType type,
                                   unsigned short& number,
                                   bool& isNew) override;

 private:
  ItlClIndex& iv_rclIndex;
};

#endif  // ITL_INDEX_TL_PORT_HPP
