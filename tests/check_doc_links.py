"""Every relative link and image in README.md and docs/*.md must resolve:
the file it names exists, and a #fragment names a heading of that file, as
the project's web view makes fragments of headings.

    check_doc_links.py SOURCE_DIR
"""
import pathlib
import re
import sys

FENCE = re.compile(r"^\s*(```|~~~)")
CODE_SPAN = re.compile(r"`[^`]*`")
# [text](target) and ![alt](target); the text may hold brackets of code
# spans, already blanked out, but no nested links.
LINK = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
HEADING = re.compile(r"^\s{0,3}#{1,6}\s+(.*?)\s*#*\s*$")


def prose_lines(path):
    """The file's lines with their numbers, code blocks left out and code
    spans blanked, so that neither a shell comment nor an example counts."""
    in_fence = False
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if FENCE.match(line):
            in_fence = not in_fence
            continue
        if not in_fence:
            yield number, CODE_SPAN.sub(lambda m: " " * len(m.group(0)), line)


def anchors(path):
    """The fragments the headings of a Markdown file give: lower case,
    punctuation dropped, spaces as hyphens, a repeated one numbered."""
    seen = {}
    result = set()
    in_fence = False
    for line in path.read_text(encoding="utf-8").splitlines():
        if FENCE.match(line):
            in_fence = not in_fence
            continue
        match = None if in_fence else HEADING.match(line)
        if not match:
            continue
        text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", match.group(1)).replace("`", "")
        slug = re.sub(r"[^\w\- ]", "", text.lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        result.add(slug if count == 0 else f"{slug}-{count}")
    return result


def broken_links(source_dir):
    files = [source_dir / "README.md", *sorted((source_dir / "docs").glob("*.md"))]
    for path in files:
        for number, line in prose_lines(path):
            for target in LINK.findall(line):
                if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.IGNORECASE):
                    continue  # a web address or mail: not this check's business
                file_part, _, fragment = target.partition("#")
                linked = (path.parent / file_part).resolve() if file_part else path
                where = f"{path.relative_to(source_dir)}:{number}: {target}"
                if not linked.exists():
                    yield f"{where}: no such file"
                elif fragment and (linked.suffix != ".md" or fragment not in anchors(linked)):
                    yield f"{where}: no heading gives #{fragment}"


def main():
    source_dir = pathlib.Path(sys.argv[1]).resolve()
    problems = list(broken_links(source_dir))
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        return 1
    print("all links of README.md and docs/*.md resolve")
    return 0


if __name__ == "__main__":
    sys.exit(main())
