// The SDL2 window: whole-number placement of the picture, its input, and saving the screen.
#include "desktop/sdl_monitor.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <SDL.h>

#include "desktop/png_file.h"
#include "desktop/window_fit.h"

namespace desktop {

struct SdlMonitor::Impl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
    int pictureWidth = 0;  // of the last picture presented, before any shrink
    int pictureHeight = 0;
    Placement placement;
    Picture shrunk;
    std::string title;
    std::string caption;

    // A picture larger than the window grows it, as far as the screen allows, so that it can
    // be shown 1:1; the window never shrinks by itself.
    void growFor(int width, int height)
    {
        int w = 0, h = 0;
        SDL_GetWindowSize(window, &w, &h);
        if (width <= w && height <= h)
            return;
        SDL_Rect usable{0, 0, std::max(w, width), std::max(h, height)};
        SDL_GetDisplayUsableBounds(std::max(0, SDL_GetWindowDisplayIndex(window)), &usable);
        int top = 0, left = 0, bottom = 0, right = 0;
        SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right);
        SDL_SetWindowSize(window, std::max(w, std::min(width, usable.w - left - right)),
                          std::max(h, std::min(height, usable.h - top - bottom)));
    }
};

SdlMonitor::SdlMonitor(const std::string& title, int width, int height) : impl_(std::make_unique<Impl>())
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        throw NoDisplay(SDL_GetError());
    impl_->title = title;
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
    Impl& m = *impl_;
    if (picture.width != m.pictureWidth || picture.height != m.pictureHeight) {
        m.pictureWidth = picture.width;
        m.pictureHeight = picture.height;
        m.growFor(picture.width, picture.height);
    }
    int areaWidth = 0, areaHeight = 0;
    if (SDL_GetRendererOutputSize(m.renderer, &areaWidth, &areaHeight) != 0)
        SDL_GetWindowSize(m.window, &areaWidth, &areaHeight);
    m.placement = placePicture(picture.width, picture.height, areaWidth, areaHeight);
    const Picture* shown = &picture;
    if (m.placement.shrink > 1) {
        shrinkPicture(picture, m.placement.shrink, m.shrunk);
        shown = &m.shrunk;
    }
    if (!m.texture || shown->width != m.textureWidth || shown->height != m.textureHeight) {
        if (m.texture)
            SDL_DestroyTexture(m.texture);
        // Nearest neighbour: a whole-number zoom repeats each pixel, it never blends them.
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        m.texture = SDL_CreateTexture(m.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, shown->width,
                                      shown->height);
        m.textureWidth = shown->width;
        m.textureHeight = shown->height;
    }
    SDL_UpdateTexture(m.texture, nullptr, shown->pixels.data(), shown->width * 4);
    SDL_SetRenderDrawColor(m.renderer, 0, 0, 0, 255);
    SDL_RenderClear(m.renderer);
    const SDL_Rect target{m.placement.x, m.placement.y, m.placement.width, m.placement.height};
    SDL_RenderCopy(m.renderer, m.texture, nullptr, &target);
    SDL_RenderPresent(m.renderer);
}

void SdlMonitor::setCaption(const std::string& caption)
{
    if (caption == impl_->caption)
        return;
    impl_->caption = caption;
    SDL_SetWindowTitle(impl_->window, (impl_->title + (caption.empty() ? "" : " - " + caption)).c_str());
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
    case SDLK_HOME: return KEY_HOME;
    case SDLK_END: return KEY_END;
    case SDLK_PAGEUP: return KEY_PAGE_UP;
    case SDLK_PAGEDOWN: return KEY_PAGE_DOWN;
    default: return 0;
    }
}

// The screen as the card (or the desktop) shows it, at its own resolution, in a new file of
// the current folder; where it went, or why it could not, in one line.
void saveScreen(Session& session)
{
    Picture picture;
    session.compose(picture);
    try {
        std::error_code error;
        std::string folder = std::filesystem::current_path(error).string();
        if (error)
            folder = ".";
        const std::string path = writeNumberedPng(folder, "palisade-screen", picture);
        std::printf("palisade: the screen is saved as %s\n", path.c_str());
        std::fflush(stdout);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "palisade: cannot save the screen: %s\n", error.what());
    }
}

}  // namespace

void SdlMonitor::pump(Session& session)
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        Action action;
        int x = 0, y = 0;
        switch (event.type) {
        case SDL_QUIT: throw RunEnded{0, {}};
        case SDL_KEYDOWN:
            if (event.key.keysym.sym == SDLK_F12 || event.key.keysym.sym == SDLK_PRINTSCREEN) {
                if (!event.key.repeat)
                    saveScreen(session);
                continue;
            }
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
        case SDL_MOUSEMOTION:
            // Positions are the picture's pixels; the black border around it is no place.
            if (pictureAt(impl_->placement, event.motion.x, event.motion.y, x, y))
                session.setMouse(x, y);
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (!pictureAt(impl_->placement, event.button.x, event.button.y, x, y))
                continue;
            action.kind = Action::Kind::ClickAt;
            action.x = x;
            action.y = y;
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
