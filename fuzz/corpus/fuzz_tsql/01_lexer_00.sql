select 'it''s', N'北京''朝阳', N'', 'a--b', 'x/*y*/'
