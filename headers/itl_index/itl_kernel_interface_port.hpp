// itl_kernel_interface_port.hpp: the text layer's index port served by a
// kernel interface (ItlClKernelInterfacePortABase).
//
// The text document of an update calls ItlClTlIndexPort. Its document
// operations (current document, text, position, boundaries, pool, item
// push, converter, end) are the kernel interface's own and are forwarded
// here one to one. What the port asks beyond them belongs to the index
// object: the normaliser settings of its configuration, its context and
// its name maps. An index implements those few in a class derived from
// this one, for example
//
//   class ItlClIndexTlPort : public ItlClKernelInterfacePortABase {
//    public:
//     explicit ItlClIndexTlPort(ItlClIndex& index)
//         : ItlClKernelInterfacePortABase(index.getKernelInterface()),
//           iv_rclIndex(index) {}
//     int32_t getUnicodeNormalization() const override { ... config ... }
//     ...
//     void assignFieldNameToNumber(...) override { ... field map ... }
//   };
#ifndef ITL_KERNEL_INTERFACE_PORT_HPP
#define ITL_KERNEL_INTERFACE_PORT_HPP

#include "itl_kernel_interface.hpp"
#include "itl_tl_index_port.hpp"

class ItlClKernelInterfacePortABase : public ItlClTlIndexPort {
 public:
  // Keeps the reference; the kernel interface must outlive the port.
  explicit ItlClKernelInterfacePortABase(ItlClKernelInterface& kernel)
      : iv_rclKernel(kernel) {}
  ItlClKernelInterfacePortABase(ItlClKernelInterfacePortABase const&) =
      delete;
  ItlClKernelInterfacePortABase& operator=(
      ItlClKernelInterfacePortABase const&) = delete;

  void addingToDocument(uint64_t number, bool isNew) override {
    iv_rclKernel.addingToDocument(number, isNew);
  }
  void addDocumentText(unsigned short const* text,
                       unsigned int units) override {
    iv_rclKernel.addDocumentText(text, units);
  }
  uint32_t getBufferPosition() const override {
    return iv_rclKernel.getBufferPosition();
  }
  void addField(unsigned short field, uint32_t start,
                uint32_t end) override {
    iv_rclKernel.addField(field, start, end);
  }
  void addSegmentBoundary(unsigned short indicator,
                          uint32_t position) override {
    iv_rclKernel.addSegmentBoundary(indicator, position);
  }
  CosClMemoryPool& getMemoryPool() override {
    return iv_rclKernel.getMemoryPool();
  }
  void addItemAtFront(REGISTITEM& item) override {
    iv_rclKernel.addItemAtFront(item);
  }
  CosClConverterABase const& getConverter() override {
    return iv_rclKernel.getConverter();
  }
  void endDocument(bool paragraphRecognition) override {
    iv_rclKernel.endDocument(paragraphRecognition);
  }

  ItlClKernelInterface& getKernelInterface() { return iv_rclKernel; }

 private:
  ItlClKernelInterface& iv_rclKernel;
};

#endif  // ITL_KERNEL_INTERFACE_PORT_HPP
