// Counts, per X client, the requests that mark its frames, as the X server
// receives them (through the RECORD extension), so programs can be compared
// without changing them: PutImage and MIT-SHM's ShmPutImage (a frame sent as
// one picture) and GetInputFocus (the round trip of XSync, which
// xscreensaver's own hacks make once per frame).
// Usage: x11_requests SECONDS
// Prints one line per client that sent any: "CLIENT put N shmput N sync N".
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>
#include <poll.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

struct Counts {
  unsigned long putImage;
  unsigned long shmPutImage;
  unsigned long sync;
};
std::map<XID, Counts> PerClient;
int ShmOpcode = -1;

const int ShmPutImageRequest = 3;  // MIT-SHM's minor code

void Intercept(XPointer, XRecordInterceptData* data) {
  if (data->category == XRecordFromClient && data->data_len > 0) {
    const unsigned char* request = data->data;
    Counts& counts = PerClient[data->id_base];
    if (request[0] == X_PutImage) ++counts.putImage;
    if (request[0] == X_GetInputFocus) ++counts.sync;
    if (static_cast<int>(request[0]) == ShmOpcode && request[1] == ShmPutImageRequest) ++counts.shmPutImage;
  }
  XRecordFreeData(data);
}

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

XRecordRange* CoreRange(unsigned char code) {
  XRecordRange* range = XRecordAllocRange();
  range->core_requests.first = code;
  range->core_requests.last = code;
  return range;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  Display* control = XOpenDisplay(nullptr);
  Display* data = XOpenDisplay(nullptr);
  if (control == nullptr || data == nullptr) {
    std::fprintf(stderr, "x11_requests: cannot open the display\n");
    return 1;
  }
  int major = 0, minor = 0;
  if (!XRecordQueryVersion(control, &major, &minor)) {
    std::fprintf(stderr, "x11_requests: the server has no RECORD extension\n");
    return 1;
  }
  int event = 0, error = 0;
  XQueryExtension(control, "MIT-SHM", &ShmOpcode, &event, &error);

  XRecordRange* ranges[3] = {CoreRange(X_GetInputFocus), CoreRange(X_PutImage), XRecordAllocRange()};
  int rangeCount = 2;
  if (ShmOpcode > 0) {
    ranges[2]->ext_requests.ext_major.first = static_cast<unsigned char>(ShmOpcode);
    ranges[2]->ext_requests.ext_major.last = static_cast<unsigned char>(ShmOpcode);
    ranges[2]->ext_requests.ext_minor.first = ShmPutImageRequest;
    ranges[2]->ext_requests.ext_minor.last = ShmPutImageRequest;
    rangeCount = 3;
  }
  XRecordClientSpec clients = XRecordAllClients;
  XRecordContext context = XRecordCreateContext(control, 0, &clients, 1, ranges, rangeCount);
  XSync(control, False);
  if (!XRecordEnableContextAsync(data, context, Intercept, nullptr)) return 1;
  const double end = Now() + seconds;
  while (Now() < end) {
    pollfd wait = {ConnectionNumber(data), POLLIN, 0};
    poll(&wait, 1, 20);
    XRecordProcessReplies(data);
  }
  XRecordDisableContext(control, context);
  XSync(control, False);
  XRecordProcessReplies(data);
  for (const auto& [client, c] : PerClient)
    std::printf("0x%lx put %lu shmput %lu sync %lu\n", client, c.putImage, c.shmPutImage, c.sync);
  return 0;
}
