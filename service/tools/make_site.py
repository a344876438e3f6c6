#!/usr/bin/env python3
"""Builds the sample site of velmora-service (service/site/) from the UTF-8 sources in site-src/.

Every text the service hands out is Windows-1255, as the program stores it, so the site holds the
cp1255 bytes and this script is the one place that writes them:
  shops.tsv             the print shops (copied, re-encoded)
  sbCODE.htm            an order template for every served shop, from order-template.htm
  start.html, info.html the start page and the second page, re-encoded
  in1.html, in3.html    the address replies (ASCII; the service fills in @HOST@)

  make_site.py          rewrite service/site/
  make_site.py --check  exit 1 when service/site/ differs from what the sources give
"""
import argparse
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
SOURCES = HERE / "site-src"
SITE = HERE.parent / "site"

# Each shop's form has an accent colour of its own and a line for the shop's note.
STYLES = {
    "101": ("#1f4e79", "איסוף עבודות עד השעה 18:00. עבודות דחופות בתיאום טלפוני."),
    "042": ("#2e7d32", "משלוח חינם לאזור הקריות בהזמנה של 20 העתקות ומעלה."),
    "215": ("#b8860b", "המכון אינו מקבל קבצים בדואר אלקטרוני - יש להביא את הקבצים על גבי דיסק."),
    "330": ("#6a1b9a", "הדפסה בפורמט A0 ומעלה בצבע ובשחור-לבן. קיפול לפי תקן."),
    "512": ("#c62828", "העבודות מוכנות לאיסוף תוך יום עבודה אחד."),
    "777": ("#00695c", "שירות שליחויות לכל אזור השרון."),
}
DEFAULT_STYLE = ("#333333", "תודה שבחרתם בנו.")
NO_EMAIL = "ללא דואר אלקטרוני"


def cp1255(text: str, what: str) -> bytes:
    try:
        return text.encode("cp1255")
    except UnicodeEncodeError as error:
        sys.exit(f"{what}: character {text[error.start]!r} has no Windows-1255 code")


def crlf(text: str) -> str:
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def read_shops(text: str):
    shops = []
    for line in text.splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        code, served, first, name, address, details, email = line.split("\t")
        shops.append(dict(code=code, served=served == "yes", name=name, address=address,
                          details=details, email=email))
    return shops


def check_template(text: str, code: str) -> None:
    """The program reads templates field by field: a comma would split a line, and only the
    first placeholder of a field is filled, so the form is written without commas and with at
    most one placeholder a line; a line may not begin with a double quote."""
    lines = text.split("\r\n")
    for number, line in enumerate(lines, 1):
        where = f"sb{code}.htm line {number}"
        if "," in line:
            sys.exit(f"{where}: holds a comma")
        if line.count("###") > 1:
            sys.exit(f"{where}: holds more than one placeholder")
        if line.lstrip(" ").startswith('"'):
            sys.exit(f"{where}: begins with a double quote")
    slots = sorted(int(line[line.index("###") + 3:line.index("###") + 5])
                   for line in lines if "###" in line)
    if slots != list(range(1, 39)):
        sys.exit(f"sb{code}.htm: the placeholders are not the slots 1 to 38 once each: {slots}")


def build() -> dict:
    files = {}
    shops_text = (SOURCES / "shops.tsv").read_text(encoding="utf-8")
    files["shops.tsv"] = cp1255(crlf(shops_text), "shops.tsv")
    master = (SOURCES / "order-template.htm").read_text(encoding="utf-8")
    for shop in read_shops(shops_text):
        if not shop["served"]:
            continue
        accent, note = STYLES.get(shop["code"], DEFAULT_STYLE)
        text = master
        for key, value in (("NAME", shop["name"]), ("ADDRESS", shop["address"]),
                           ("DETAILS", shop["details"]), ("EMAIL", shop["email"] or NO_EMAIL),
                           ("ACCENT", accent), ("NOTE", note)):
            text = text.replace("{{" + key + "}}", value)
        text = crlf(text)
        check_template(text, shop["code"])
        name = f"sb{shop['code']}.htm"
        files[name] = cp1255(text, name)
    for page in ("start.html", "info.html", "in1.html", "in3.html"):
        files[page] = cp1255(crlf((SOURCES / page).read_text(encoding="utf-8")), page)
    return files


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="only compare, write nothing")
    args = parser.parse_args()
    files = build()
    if args.check:
        stale = [name for name, data in files.items()
                 if not (SITE / name).is_file() or (SITE / name).read_bytes() != data]
        extra = [p.name for p in SITE.glob("sb*.htm") if p.name not in files]
        if stale or extra:
            print("service/site is out of date; run service/tools/make_site.py:",
                  ", ".join(stale + extra))
            return 1
        print(f"service/site is up to date ({len(files)} files)")
        return 0
    SITE.mkdir(exist_ok=True)
    for stale in SITE.glob("sb*.htm"):
        if stale.name not in files:
            stale.unlink()
    for name, data in files.items():
        (SITE / name).write_bytes(data)
    print(f"wrote {len(files)} files to {SITE}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
