// The public procedures of clsImport, as free functions on its state. Each is
// defined in the file of its subsystem (installation lookup, pack details,
// verification, import driver, hierarchy, header import, library loaders).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "component/import_state.h"

namespace Kestrel20ImpExp::detail {

bool GetLumoInstallationPath(ImportState& s, std::string& strPath);
bool ShowLogicPackDetails(ImportState& s, std::string& strLPDetails);
bool VerifyUserSelections(ImportState& s, const std::string& strInLPDetails, std::string& strOutLPDetails,
                          std::string& strErrorMessage);
bool ImportLogicPack(ImportState& s, std::string& strLPDetails, std::string& strErrorMessage);
bool GetDepthOfProfile(ImportState& s, int32_t& lMprf, int32_t& lPprf, int32_t& lDpth);
bool GetDevelopmentVRC(ImportState& s, int32_t& lMprfIn, std::vector<std::string>& strArray);
bool LoadToMAP150(ImportState& s);

}  // namespace Kestrel20ImpExp::detail
