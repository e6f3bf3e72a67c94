#include "desktop/sdl_monitor.h"

#include <SDL.h>

namespace desktop {

struct SdlMonitor::Impl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
};

SdlMonitor::SdlMonitor(const std::string& title, int width, int height) : impl_(std::make_unique<Impl>())
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        throw NoDisplay(SDL_GetError());
    impl_->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                     SDL_WINDOW_RESIZABLE);
    if (!impl_->window) {
        const std::string why = SDL_GetError();
        SDL_Quit();
        throw NoDisplay(why);
    }
    impl_->renderer = SDL_CreateRenderer(impl_->window, -1, 0);
    if (!impl_->renderer)
        impl_->renderer = SDL_CreateRenderer(impl_->window, -1, SDL_RENDERER_SOFTWARE);
    if (!impl_->renderer) {
        const std::string why = SDL_GetError();
        SDL_DestroyWindow(impl_->window);
        SDL_Quit();
        throw NoDisplay(why);
    }
    SDL_StartTextInput();
}

SdlMonitor::~SdlMonitor()
{
    if (impl_->texture)
        SDL_DestroyTexture(impl_->texture);
    SDL_DestroyRenderer(impl_->renderer);
    SDL_DestroyWindow(impl_->window);
    SDL_Quit();
}

void SdlMonitor::present(const Picture& picture)
{
    if (picture.width <= 0 || picture.height <= 0)
        return;
    if (!impl_->texture || picture.width != impl_->textureWidth || picture.height != impl_->textureHeight) {
        if (impl_->texture)
            SDL_DestroyTexture(impl_->texture);
        impl_->texture = SDL_CreateTexture(impl_->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                           picture.width, picture.height);
        impl_->textureWidth = picture.width;
        impl_->textureHeight = picture.height;
        // The mode's own resolution, scaled to the window; mouse positions come back in it.
        SDL_RenderSetLogicalSize(impl_->renderer, picture.width, picture.height);
    }
    SDL_UpdateTexture(impl_->texture, nullptr, picture.pixels.data(), picture.width * 4);
    SDL_SetRenderDrawColor(impl_->renderer, 0, 0, 0, 255);
    SDL_RenderClear(impl_->renderer);
    SDL_RenderCopy(impl_->renderer, impl_->texture, nullptr, nullptr);
    SDL_RenderPresent(impl_->renderer);
}

namespace {

int keyOf(SDL_Keycode key)
{
    switch (key) {
    case SDLK_ESCAPE: return KEY_ESCAPE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KEY_RETURN;
    case SDLK_TAB: return KEY_TAB;
    case SDLK_BACKSPACE: return 8;
    case SDLK_UP: return KEY_UP;
    case SDLK_DOWN: return KEY_DOWN;
    case SDLK_LEFT: return KEY_LEFT;
    case SDLK_RIGHT: return KEY_RIGHT;
    default: return 0;
    }
}

}  // namespace

void SdlMonitor::pump(Session& session)
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        Action action;
        switch (event.type) {
        case SDL_QUIT: throw RunEnded{0, {}};
        case SDL_KEYDOWN:
            // Keys with a character arrive as text input.
            action.key = keyOf(event.key.keysym.sym);
            if (action.key == 0)
                continue;
            action.shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
            session.enqueue(action);
            break;
        case SDL_TEXTINPUT: {
            const auto c = static_cast<unsigned char>(event.text.text[0]);
            if (c < 0x20 || c > 0x7E || event.text.text[1] != '\0')
                continue;
            action.key = c;
            session.enqueue(action);
            break;
        }
        case SDL_MOUSEMOTION: session.setMouse(event.motion.x, event.motion.y); break;
        case SDL_MOUSEBUTTONDOWN:
            action.kind = Action::Kind::ClickAt;
            action.x = event.button.x;
            action.y = event.button.y;
            action.clicks = event.button.clicks;
            session.enqueue(action);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                session.refresh(true);
            break;
        default: break;
        }
    }
}

void SdlMonitor::waitForEvents(int milliseconds)
{
    SDL_WaitEventTimeout(nullptr, milliseconds);
}

}  // namespace desktop
