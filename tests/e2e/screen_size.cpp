// Sets the size of the X screen's first output, as a display-mode change does: a mode of
// that size is made where the output lacks one, the output is switched to it and the screen
// takes its size. The change outlives this program (its resources are kept at exit), which a
// virtual X server otherwise drops together with a mode made by a client that has gone.
//   screen_size WIDTHxHEIGHT       exit code 0 done, 1 refused by the server, 2 bad arguments
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstring>

namespace {
bool failed = false;
int OnError(Display*, XErrorEvent* e) {
  fprintf(stderr, "screen_size: the X server refused request %d.%d (error %d)\n", e->request_code,
          e->minor_code, e->error_code);
  failed = true;
  return 0;
}

// The mode of `width` x `height` that the output offers, or 0.
RRMode OfferedMode(XRRScreenResources* res, XRROutputInfo* out, int width, int height) {
  for (int i = 0; i < out->nmode; ++i)
    for (int j = 0; j < res->nmode; ++j)
      if (res->modes[j].id == out->modes[i] && static_cast<int>(res->modes[j].width) == width &&
          static_cast<int>(res->modes[j].height) == height)
        return res->modes[j].id;
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  int width = 0, height = 0;
  if (argc != 2 || sscanf(argv[1], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
    fprintf(stderr, "usage: screen_size WIDTHxHEIGHT\n");
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    fprintf(stderr, "screen_size: no X display\n");
    return 1;
  }
  XSetErrorHandler(OnError);
  Window root = DefaultRootWindow(d);
  XRRScreenResources* res = XRRGetScreenResources(d, root);
  if (!res || res->noutput < 1 || res->ncrtc < 1) {
    fprintf(stderr, "screen_size: the screen has no output to change\n");
    return 1;
  }
  RROutput output = res->outputs[0];
  XRROutputInfo* info = XRRGetOutputInfo(d, res, output);
  RRCrtc crtc = info->crtc ? info->crtc : res->crtcs[0];
  RRMode mode = OfferedMode(res, info, width, height);
  if (!mode) {
    char name[32];
    snprintf(name, sizeof name, "%dx%d", width, height);
    XRRModeInfo m{};
    m.width = static_cast<unsigned>(width);
    m.height = static_cast<unsigned>(height);
    m.dotClock = static_cast<unsigned long>(width) * height * 60;  // 60 Hz without blanking
    m.hSyncStart = m.hSyncEnd = m.hTotal = static_cast<unsigned>(width);
    m.vSyncStart = m.vSyncEnd = m.vTotal = static_cast<unsigned>(height);
    m.name = name;
    m.nameLength = static_cast<unsigned>(strlen(name));
    mode = XRRCreateMode(d, root, &m);
    XRRAddOutputMode(d, output, mode);
    XSync(d, False);
    XRRFreeScreenResources(res);
    res = XRRGetScreenResources(d, root);
  }
  XSetCloseDownMode(d, RetainPermanent);
  // The output goes off while the screen changes size, so that neither is ever larger than
  // the other.
  XGrabServer(d);
  XRRSetCrtcConfig(d, res, crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr, 0);
  int dpi = 96;
  XRRSetScreenSize(d, root, width, height, width * 254 / (dpi * 10), height * 254 / (dpi * 10));
  Status s = XRRSetCrtcConfig(d, res, crtc, CurrentTime, 0, 0, mode, RR_Rotate_0, &output, 1);
  XUngrabServer(d);
  XSync(d, False);
  XRRFreeOutputInfo(info);
  XRRFreeScreenResources(res);
  XCloseDisplay(d);
  if (failed || s != RRSetConfigSuccess) {
    fprintf(stderr, "screen_size: the screen cannot take %dx%d\n", width, height);
    return 1;
  }
  return 0;
}
