"""The help file's sources hang together: every page and picture that the
contents, the index or a page links to exists and is compiled into the help
file, and every page is reachable from the contents."""
import html.parser
import os
import re
import sys

HELP = sys.argv[1]


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.targets = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        for name in ("href", "src"):
            if attrs.get(name):
                self.targets.append(attrs[name])
        if tag == "param" and attrs.get("name", "").lower() == "local":
            self.targets.append(attrs.get("value", ""))


def links_of(name):
    parser = Links()
    with open(os.path.join(HELP, name), encoding="utf-8") as page:
        parser.feed(page.read())
    return [t.split("#")[0] for t in parser.targets if t and not re.match(r"^[a-z]+:", t) and not t.startswith("#")]


def compiled_files():
    with open(os.path.join(HELP, "Kelvane.hhp"), encoding="utf-8") as project:
        text = project.read()
    section = text.split("[FILES]", 1)[1]
    return {line.strip() for line in section.splitlines() if line.strip() and not line.startswith("[")}


def main():
    problems = []
    files = compiled_files()
    for name in sorted(files):
        if not os.path.isfile(os.path.join(HELP, name)):
            problems.append(f"Kelvane.hhp lists {name}, which does not exist")
    contents = links_of("toc.hhc")
    reachable = set(contents)
    for source in ["toc.hhc", "index.hhk"] + sorted(f for f in files if f.endswith(".html")):
        for target in links_of(source):
            if not os.path.isfile(os.path.join(HELP, target)):
                problems.append(f"{source} links to {target}, which does not exist")
            elif target not in files:
                problems.append(f"{source} links to {target}, which is not compiled into the help file")
            if source.endswith(".html") and target.endswith(".html"):
                reachable.add(target)
    for page in sorted(f for f in files if f.endswith(".html")):
        if page not in reachable:
            problems.append(f"{page} cannot be reached from the contents")
    if not contents:
        problems.append("the contents are empty")
    for problem in problems:
        print(problem)
    print(f"{len(files)} files, {len(contents)} contents entries, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
