// Skins: choosing one adds its folder "skins\<name>" to the virtual
// directory of the interface images, so that its images are found there.
#pragma once

#include <string>
#include <string_view>

class Skins {
public:
    // Takes the current skin's folder away, then adds the new one's. A name
    // that is empty or would leave the skins folder (separators, "..") is
    // refused: the current skin stays and the answer is false.
    bool SetSkin(std::string_view name);
    // Takes the current skin's folder away; the name stays.
    bool RemoveSkin();
    const std::string& GetSkinName() const { return name_; }

    static Skins& Program();

private:
    std::string name_;
};
