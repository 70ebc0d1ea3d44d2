// A C++ host that reads several printers at once: one thread per device,
// each with a context of its own from ZelInit to ZelUnInit. A context has no
// lock, so it never leaves its thread; separate contexts may run at the same
// time. Results go to a slot per thread and are printed after the joins.
//
//   host_threads [--timeout MS] ADDRESS...     IPv4 devices, one per thread
//
// Prints one line per device. Exit status: 0 when every device answered,
// 1 when any call failed, 2 for a bad command line.
#include <zelprinter/zel_api.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Reading {
  std::string address;
  int32_t status = ZEL_STATUS_OK;
  ZelPrinterInfo printer{};
  int32_t storageRows = 0;
};

// Everything one thread does with its own context.
void read_device(Reading* r, int32_t timeoutMs) {
  ZelContext* ctx = nullptr;
  r->status = ZelInit(&ctx);
  if (r->status != ZEL_STATUS_OK) return;
  r->status =
      ZelInitDevice(ctx, r->address.c_str(), ZEL_PROTOCOL_IPV4, timeoutMs, 1);
  if (r->status == ZEL_STATUS_OK)
    r->status = ZelGetPrinterInfo(ctx, &r->printer);
  if (r->status == ZEL_STATUS_OK)
    r->status = ZelGetNumberOfStorageInfo(ctx, &r->storageRows);
  ZelUnInit(ctx);
}

}  // namespace

int main(int argc, char** argv) {
  int32_t timeoutMs = 2000;
  std::vector<Reading> readings;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
      timeoutMs = std::atoi(argv[++i]);
    } else {
      readings.push_back(Reading{});
      readings.back().address = argv[i];
    }
  }
  if (readings.empty()) {
    std::fprintf(stderr, "usage: host_threads [--timeout MS] ADDRESS...\n");
    return 2;
  }

  std::vector<std::thread> threads;
  for (Reading& r : readings) threads.emplace_back(read_device, &r, timeoutMs);
  for (std::thread& t : threads) t.join();

  int result = 0;
  for (const Reading& r : readings) {
    if (r.status != ZEL_STATUS_OK) {
      std::printf("%s: %s (%d)\n", r.address.c_str(), ZelStatusText(r.status),
                  static_cast<int>(r.status));
      result = 1;
    } else {
      std::printf("%s: printer status %d, error bits 0x%04x, %d storage rows\n",
                  r.address.c_str(), static_cast<int>(r.printer.printerStatus),
                  static_cast<unsigned>(r.printer.detectedErrorState),
                  static_cast<int>(r.storageRows));
    }
  }
  return result;
}
