// Saves a harness run makes through the game's own panels land in the player's "maps" folder, where the load
// panel lists them. A run sets aside the player's saves of the same names first, and at its end files its own
// into its folder and puts the player's back.
#pragma once

#include <string>
#include <vector>

class CKeptSaves {
public:
    // `names` without their extension; each is a ".fds" save with a ".bmp" picture beside it.
    CKeptSaves(const std::string& folder, const std::vector<std::string>& names);
    // Moves the player's saves of those names out of "maps" into the run's folder (under "kept"); false with the
    // reason when one cannot be moved (nothing is then lost: it stays where it was).
    bool SetAside(std::string* error);
    // Moves the run's saves into its folder and the player's back into "maps".
    void Finish();

private:
    // Both taken whole when the run starts: the file panels change the working folder as the player browses.
    std::string m_folder;
    std::string m_maps;
    std::vector<std::string> m_files;  // the file names, with their extensions
    bool m_setAside = false;
};
