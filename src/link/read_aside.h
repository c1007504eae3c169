#pragma once

#include "link/device_image.h"

namespace vardex::link {

// For the life of the scope, configuration or loop replies land in a zeroed copy beside
// the image instead of the image itself. Every read-back and every comparison reads this
// way: the engineer may go on editing while the link is lent out between steps or a
// reply is awaited, and the read never overwrites or reverts those edits.
class ReadAside {
public:
    enum class What { Config, Loops };

    ReadAside(DeviceImage &image, What what) : m_image(image), m_what(what)
    {
        int &open = counter();
        if (open++ == 0)
            clear();
    }
    ~ReadAside()
    {
        // A controller taken over mid-read starts a fresh image with nothing open.
        if (counter() > 0)
            --counter();
    }
    ReadAside(const ReadAside &) = delete;
    ReadAside &operator=(const ReadAside &) = delete;

    // What was read (zero where nothing came).
    const MonitorConfig &config() const { return m_image.aside.config; }
    const UprLoopConfig &loop(int n) const { return m_image.aside.loops.at(index(n)); }
    const UprLoopConfigExt &loopExt(int n) const { return m_image.aside.loopExts.at(index(n)); }

    // The image with the copy read in place of the part read: the controller's side of
    // a comparison.
    DeviceImage held() const
    {
        DeviceImage out = m_image;
        out.aside = {};
        if (m_what == What::Config) {
            out.config = m_image.aside.config;
        } else {
            out.loops = m_image.aside.loops;
            out.loopExts = m_image.aside.loopExts;
        }
        return out;
    }

private:
    static std::size_t index(int n) { return static_cast<std::size_t>(n - 1); }
    int &counter()
    {
        return m_what == What::Config ? m_image.aside.configOpen : m_image.aside.loopsOpen;
    }
    void clear()
    {
        if (m_what == What::Config) {
            m_image.aside.config = {};
        } else {
            m_image.aside.loops = {};
            m_image.aside.loopExts = {};
        }
    }

    DeviceImage &m_image;
    What m_what;
};

} // namespace vardex::link
