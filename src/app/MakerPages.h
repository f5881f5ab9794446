#pragma once
// The maker's web pages, opened in the default browser from the title row and the about box.
namespace parlivo::MakerPages {
inline constexpr const char *Updates = "https://parlivo.example.org/updates";
inline constexpr const char *Downloads = "https://parlivo.example.org/downloads";
inline constexpr const char *Company = "https://parlivo.example.org/";
inline constexpr const char *Product = "https://parlivo.example.org/parlivo";
} // namespace parlivo::MakerPages
