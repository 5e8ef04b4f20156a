#!/usr/bin/env python3
"""Checks that the module's folders are honest layers: includes run one way (app -> voltra ->
platform; inside the module host <- templates <- apply <- commands, export, report), and a
class's members are defined in the folder that declares the class. Either fault links today,
because the module is one target, and would not once a folder is built on its own.
Usage: ModuleLayers.py SOURCE_DIR"""
import pathlib
import re
import sys

MODULE_LAYERS = {
    "host": {"host"},
    "templates": {"host", "templates"},
    "apply": {"host", "templates", "apply"},
    "commands": {"host", "templates", "apply", "commands"},
    "export": {"host", "templates", "apply", "export"},
    "report": {"host", "templates", "apply", "report"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
# "class VOLTRA_API TemplateExporter {", "class ChargeTemplate : public Template {"
CLASS = re.compile(r"^(?:class|struct)\s+(?:[A-Z_]+\s+)?(\w+)\s*(?::[^;{]*)?\{", re.MULTILINE)
# A member defined at file level: "void Template::SetValue(", "Template::~Template("
MEMBER = re.compile(r"^(?!\s)[^;{}()]*?\b(\w+)::~?\w+\s*\(", re.MULTILINE)


def quoted_includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace"))


def main():
    root = pathlib.Path(sys.argv[1])
    sources = lambda folder: sorted(p for p in folder.rglob("*") if p.suffix in (".h", ".cpp"))
    app_headers = {p.name for p in sources(root / "app")}
    problems = []
    for path in sources(root / "platform"):
        for name in quoted_includes(path):
            if name.split("/")[0] in MODULE_LAYERS or name in app_headers:
                problems.append(f"{path.relative_to(root)}: includes \"{name}\": the platform includes no module or program header")
    for layer, allowed in MODULE_LAYERS.items():
        for path in sources(root / "voltra" / layer):
            for name in quoted_includes(path):
                first = name.split("/")[0]
                if first in MODULE_LAYERS and first not in allowed:
                    problems.append(f"{path.relative_to(root)}: includes \"{name}\": voltra/{layer} builds on {', '.join(sorted(allowed))} only")
                elif "/" not in name and name in app_headers:
                    problems.append(f"{path.relative_to(root)}: includes \"{name}\": the module includes no program header")
    declared_in = {}
    for layer in MODULE_LAYERS:
        for path in sources(root / "voltra" / layer):
            if path.suffix == ".h":
                for name in CLASS.findall(path.read_text(encoding="utf-8", errors="replace")):
                    declared_in[name] = layer
    for layer in MODULE_LAYERS:
        for path in sources(root / "voltra" / layer):
            if path.suffix != ".cpp":
                continue
            for name in sorted(set(MEMBER.findall(path.read_text(encoding="utf-8", errors="replace")))):
                home = declared_in.get(name)
                if home is not None and home != layer:
                    problems.append(f"{path.relative_to(root)}: defines members of {name}, which voltra/{home} declares")
    for line in problems:
        print(line)
    if problems:
        print(f"{len(problems)} fault(s) against the layers", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
