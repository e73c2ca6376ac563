#!/usr/bin/env python3
"""The scripting peer of extract_bench: the same patterns, applied with the standard
library's re (bytes, case-insensitive, "." matching line breaks) to the pages the
benchmark saved. Prints one line of hex values per product page and per list row, in the
benchmark's order, then its own CPU microseconds per page.

Usage: peer_extract.py FOLDER PRODUCT_HOST
"""
import os
import re
import sys
import time

FLAGS = re.I | re.S
MIN_CPU_SECONDS = 2.0


def P(pattern):
    return re.compile(pattern.encode("gbk"), FLAGS)


def first(text, rx):
    for m in rx.finditer(text):
        for g in m.groups():
            if g:
                return g
    return b""


def every(text, rx):
    out = []
    for m in rx.finditer(text):
        for g in m.groups():
            if g:
                out.append(g + b"\r\n")
    return b"".join(out)


def first_of(text, rxs):
    for rx in rxs:
        v = first(text, rx)
        if v:
            return v
    return b""


SPACES = b" \t\r\n\v\f"


def trim(b):
    return b.strip(SPACES)


def is_lead(c):
    return 0x81 <= c <= 0xFE


def gbk_prefix(b, limit):
    i = 0
    while i < len(b):
        w = 2 if is_lead(b[i]) else 1
        if i + w > limit:
            break
        i += w
    return b[: min(i, len(b))]


ESC = re.compile(rb"\\u([0-9a-fA-F]{4})")


def unescape_unicode(b):
    out = bytearray()
    i = 0
    n = len(b)
    while i < n:
        c = b[i]
        if is_lead(c) and i + 1 < n and b[i + 1] >= 0x40:
            out += b[i : i + 2]
            i += 2
            continue
        m = ESC.match(b, i)
        if not m:
            out.append(c)
            i += 1
            continue
        unit = int(m.group(1), 16)
        if unit:
            try:
                out += chr(unit).encode("gbk")
            except (UnicodeEncodeError, ValueError):
                out += b"?"
        i += 6
    return bytes(out)


NAME = P(r'"productName":"(.*?)",')
MARKET = [
    P(r'<span class="price_m">&yen;(.*?)</span>'),
    P(r"<div class=\"price_m\" id='original-price'>.*?<span class=\"yen\">&yen;</span>(.*?)</div>"),
    P(r'<div class="price_m">.*?<span class="yen">&yen;</span>(.*?)</div>'),
]
MARKET_PRE = P(r'<span class="search_pre_price">&yen;(.*?)</span>')
SELL_NOW = P(r'<span class="search_now_price">&yen;(.*?)</span>')
SELL_SALE = P(r'<p id="price_sale"><span class="yen">&yen;</span>(.*?)</p>')
SELL_VT = P(r'<p id="vt-price">.*?<span class="yen">&yen;</span>(.*?)</p>')
AUTHOR = [
    P(r'<span class="t1" id="author" vt_name="作者">作者:<a href=".*?"  target="_blank" >(.*?)</a>'),
    P(r'<span class="t1" id="author" vt_name="作者">作者:<a href=".*?"  target="_blank" vt_name="作者">(.*?)</a>'),
]
PRESS = P(r'出版社:<a href=".*?" target="_blank" vt_name="出版社">(.*?)</a>')
DATE = P(r'<span class="t1">出版时间:(.*?)&nbsp;</span>')
ISBN = P(r"ISBN：(?P<Param3>.*?)<")
HEAD = P(r'<span class="head_title_name" title="(.*?)" >')
IMAGE = [
    P(r'<li tag="1"> <a href="javascript:;" imghref="(.*?)">'),
    P(r'<li><a href="javascript:;" data-imghref="(.*?)">'),
]
BUYING = P(r"<li class=.Buying.>(.*?)</li>")
BUY = [P(r"(?P<ExistBuyPic>booksale.gif)"), P(r"(?P<ExistBuyPic>btn_buy.gif)"),
       P(r"(?P<ExistBuyPic>but_buy_area.gif)"), P(r"(?P<ExistBuyPic>but_buy.gif)")]
SECTIONS = [
    P('<div class="title"><span>' + h + r'</span></div>(.*?)<div class="section_show_more">')
    for h in ("编辑推荐", "内容推荐", "作者简介", "目录", "前言", "媒体评论")
]
SECTION_IMG = P(r'<img src=".*?" alt="" />')
SECTION_LINK = P(r"<a.*?href=[\"|'].*?[\"|'].*?>")
PARAMS = [P(r"</li><li>字 数：(.*?)</li><li>"), P(r"</li><li>页 数：(.*?)</li><li>"),
          P(r"<li>版 次：(.*?)</li><li>"), P(r"</li><li>包 装：(.*?)</li><li>"),
          P(r"</li><li>开 本：(.*?)</li><li>")]
NOTE_PARTIAL = "仅支持部分城市购买".encode("gbk")
NOTE_PARTIAL_TEXT = "仅支持部分城市购买,购买前请联系卖家!".encode("gbk")
NOTE_LATER = "暂时缺货，现在可以订购".encode("gbk")
NOTE_NOISE = [w.encode("gbk") for w in
              ("登录后根据您所在地址，商品的发货时间会有所不同", "立即订购", "。", "，")] + \
             [b"\r", b"\n", b"\t"]


def buying_note(t):
    if NOTE_PARTIAL in t:
        return NOTE_PARTIAL_TEXT
    if NOTE_LATER in t:
        return NOTE_LATER
    note = every(t, BUYING)
    for w in NOTE_NOISE:
        note = note.replace(w, b"")
    return b"" if len(note) > 30 else trim(note)


def section(t, rx):
    html = first(t, rx)
    if not html:
        return html
    html = SECTION_IMG.sub(b"", html)
    return SECTION_LINK.sub(b"", html)


def product_values(t):
    market = first_of(t, MARKET) or trim(first(t, MARKET_PRE))
    sell = trim(first(t, SELL_NOW)) or first(t, SELL_SALE) or trim(first(t, SELL_VT))
    v = [unescape_unicode(first(t, NAME)), market, sell, first_of(t, AUTHOR),
         trim(first(t, PRESS)), first(t, DATE), trim(every(t, ISBN)),
         gbk_prefix(first(t, HEAD), 150), buying_note(t), first_of(t, IMAGE),
         b"1" if any(every(t, rx) for rx in BUY) else b"0"]
    v += [section(t, rx) for rx in SECTIONS]
    v += [trim(first(t, rx)) for rx in PARAMS]
    return v


ITEM = P(r'<li class="line(.*?)</li>')
ADDRESS = P(r'class="pic".*?href="(?P<Url>.+?)".+?<img')
TITLE = P(r'<a title="(.*?)"')
LIST_PRE = P(r'<span class="search_pre_price">&yen;(.*?)</span>')
LIST_NOW = P(r'<span class="search_now_price">&yen;(.*?)</span>')
LIST_DATE = P(r"([0-9]{4}-[0-9]{2}-[0-9]{2})")
LIST_AUTHOR = P(r"name='itemlist-author'.*?>(.*?)</a>")
LIST_PUBLISHER = P(r"name='P_cbs'.*?>(.*?)</a></span><p class=\"bottom_p\">")
OPEN_FULL = "（".encode("gbk")
CLOSE_FULL = "）".encode("gbk")


def char_width(b, i):
    if i + 1 < len(b) and is_lead(b[i]) and (0x40 <= b[i + 1] <= 0x7E or 0x80 <= b[i + 1] <= 0xFE):
        return 2
    return 1


def bracket_at(b, i, ascii_byte, full):
    if b[i] == ascii_byte:
        return 1
    if char_width(b, i) == 2 and b[i : i + 2] == full:
        return 2
    return 0


# The program reads the bracket pattern [(|（](.{6,}?)[)|）](.*?) by characters, so that
# the second byte of a full-width bracket never stands for a character of its own.
def remove_title_brackets(t):
    out = bytearray()
    i = 0
    while i < len(t):
        opened = bracket_at(t, i, 0x28, OPEN_FULL)
        end = -1
        if opened:
            inside = i + opened
            j = inside
            while j < len(t):
                if j - inside >= 6:
                    closed = bracket_at(t, j, 0x29, CLOSE_FULL)
                    if closed:
                        end = j + closed
                        break
                j += char_width(t, j)
        if end >= 0:
            i = end
            continue
        w = char_width(t, i)
        out += t[i : i + w]
        i += w
    return bytes(out)


def list_rows(t, ids):
    rows = []
    for m in ITEM.finditer(t):
        item = m.group(1)
        if not item:
            continue
        address = trim(first(item, ADDRESS))
        pid = trim(every(address, ids))
        title = remove_title_brackets(trim(first(item, TITLE)))
        list_price = trim(first(item, LIST_PRE))
        price = trim(first(item, LIST_NOW)) or first(item, SELL_SALE)
        date = trim(first(item, LIST_DATE))
        author = trim(first(item, LIST_AUTHOR))
        publisher = trim(first(item, LIST_PUBLISHER))
        if not all((list_price, price, date, publisher, author, title, address)) \
                or b".html" not in address:
            continue
        rows.append([pid, title, list_price, price, author, publisher, date])
    return rows


def micros_per_page(texts, work):
    start = time.process_time()
    done = 0
    while True:
        for t in texts:
            work(t)
        done += len(texts)
        if time.process_time() - start >= MIN_CPU_SECONDS:
            break
    return (time.process_time() - start) * 1e6 / done


def main():
    folder, host = sys.argv[1], sys.argv[2]
    ids = re.compile(host.encode("gbk") + rb"/(.*?).html", FLAGS)
    names = sorted(os.listdir(folder))
    products = [n for n in names if n.startswith("product")]
    lists = [n for n in names if n.startswith("list")]

    def read(n):
        with open(os.path.join(folder, n), "rb") as f:
            return f.read()

    product_texts = [read(n) for n in products]
    list_texts = [read(n) for n in lists]
    out = []
    for n, t in zip(products, product_texts):
        out.append("\t".join([n] + [v.hex() for v in product_values(t)]))
    for n, t in zip(lists, list_texts):
        for row in list_rows(t, ids):
            out.append("\t".join([n] + [v.hex() for v in row]))
    product_us = micros_per_page(product_texts, product_values)
    list_us = micros_per_page(list_texts, lambda t: list_rows(t, ids))
    out.append("peer product_us %.1f" % product_us)
    out.append("peer list_us %.1f" % list_us)
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
