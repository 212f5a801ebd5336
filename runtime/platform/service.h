// Platform services: the operating system reaches the runtime through a few small services
// (process, files, video and window messages, input, audio, media player, joysticks,
// sockets). Each service is one class; the backend in use is selected per service, so a test
// can run any mix of real and scripted services (real video with a fake audio device, say).
//
// Two shapes, one per kind of service:
// - A service the system always has (process, files, sockets) is a concrete class whose
//   members are the POSIX implementation; a fake derives from it and overrides what it
//   scripts, the rest stays real.
// - A service that may be missing (video, input, audio, media, joysticks) is an interface
//   whose inline defaults mean "not available"; its real backend is a class private to its
//   .cpp file (SDL2), and its fake overrides what it scripts.
// Either way each operation is declared once, in the service's header, and implemented once
// per backend.
#pragma once

namespace qrn {

// The real backend of a service: created on first use and never destroyed, so process-exit
// handlers can still use it. Each service's real backend file defines its specialisation.
template <class Service>
Service& real_service();

template <class Service>
struct ServiceSelection {
  static inline Service* installed = nullptr;
};

// The backend in use for a service: the installed one, else the real one.
template <class Service>
Service& service() {
  Service* installed = ServiceSelection<Service>::installed;
  return installed ? *installed : real_service<Service>();
}

// Installs a backend (not owned) and returns the previous one; null restores the real one.
template <class Service>
Service* install_service(Service* backend) {
  Service* previous = ServiceSelection<Service>::installed;
  ServiceSelection<Service>::installed = backend;
  return previous;
}

// Installs a backend for the lifetime of the scope.
template <class Service>
class ServiceScope {
 public:
  explicit ServiceScope(Service* backend) : previous_(install_service<Service>(backend)) {}
  ~ServiceScope() { install_service<Service>(previous_); }
  ServiceScope(const ServiceScope&) = delete;
  ServiceScope& operator=(const ServiceScope&) = delete;

 private:
  Service* previous_;
};

}  // namespace qrn
