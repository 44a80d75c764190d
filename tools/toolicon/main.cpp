// toolicon: the icon imaging layer from the command line.
//   toolicon extract PATH --size N -o OUT.png
//   toolicon scale IN --size N[xM] -o OUT.png
//   toolicon size FILE            prints "W H"
//   toolicon resolve LNK          prints the shortcut's target (and arguments) as UTF-8
// Exit status: 0 on success, 1 when the result is empty, 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/imaging.h"
#include "platform/gbk.h"
#include "platform/shortcut.h"

namespace {

int usage() {
  std::cerr << "usage:\n"
               "  toolicon extract PATH --size N -o OUT.png\n"
               "  toolicon scale IN --size N[xM] -o OUT.png\n"
               "  toolicon size FILE\n"
               "  toolicon resolve LNK\n";
  return 2;
}

bool parse_int(const std::string& s, int& v) {
  if (s.empty() || s.size() > 6) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  v = std::atoi(s.c_str());
  return v > 0;
}

bool parse_size(const std::string& s, int& w, int& h) {
  auto x = s.find('x');
  if (x == std::string::npos) {
    if (!parse_int(s, w)) return false;
    h = w;
    return true;
  }
  return parse_int(s.substr(0, x), w) && parse_int(s.substr(x + 1), h);
}

bool write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Options after the operand: --size S and -o OUT, in any order.
bool options(const std::vector<std::string>& a, std::size_t from, std::string& size,
             std::string& out) {
  for (std::size_t i = from; i < a.size(); i += 2) {
    if (i + 1 >= a.size()) return false;
    if (a[i] == "--size") size = a[i + 1];
    else if (a[i] == "-o") out = a[i + 1];
    else return false;
  }
  return !size.empty() && !out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() < 2) return usage();
  const std::string& cmd = a[0];
  if (cmd == "size" && a.size() == 2) {
    imaging::ImageSize s = imaging::read_image_size(a[1]);
    std::cout << s.width << ' ' << s.height << '\n';
    return s.width > 0 && s.height > 0 ? 0 : 1;
  }
  if (cmd == "resolve" && a.size() == 2) {
    std::string host = platform::resolve_shortcut(a[1]);
    if (host.empty()) return 1;
    std::cout << platform::gbk_to_utf8(host) << '\n';
    return 0;
  }
  if (cmd == "extract" || cmd == "scale") {
    std::string size, out;
    if (!options(a, 2, size, out)) return usage();
    int w = 0, h = 0;
    if (cmd == "extract" ? !parse_int(size, w) : !parse_size(size, w, h)) return usage();
    if (!imaging::start_imaging()) return 1;
    std::string png;
    if (cmd == "extract") {
      png = imaging::extract_file_icon(a[1], w);
    } else {
      std::ifstream in(a[1], std::ios::binary);
      if (!in) {
        std::cerr << "toolicon: cannot read " << a[1] << '\n';
        imaging::stop_imaging();
        return 1;
      }
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      png = imaging::scale_image(bytes, w, h);
    }
    imaging::stop_imaging();
    if (png.empty()) return 1;
    if (!write_file(out, png)) {
      std::cerr << "toolicon: cannot write " << out << '\n';
      return 1;
    }
    return 0;
  }
  return usage();
}
