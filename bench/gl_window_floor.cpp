// The floor of any start-up on this machine's OpenGL: a program that does nothing but make
// an SDL window with a GL context (as the runtime does), clear it to grey and show it, then
// wait to be ended. bench/idle_clock.sh times it with bench_startup_probe beside the clock.
//
//   bench_gl_window_floor      (its window is titled "GL floor", 200 x 200)
#include <SDL.h>
#include <SDL_opengl.h>

int main(int, char**) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_Window* window = SDL_CreateWindow("GL floor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 200, 200,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) return 1;
  for (;;) {  // drawn again now and then, as an exposed window would be
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) {
        SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
        SDL_Quit();
        return 0;
      }
    }
    SDL_Delay(100);
  }
}
