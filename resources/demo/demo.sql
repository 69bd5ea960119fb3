-- The demo database: a small shop. The build turns this script into demo.sqlite, which
-- ships beside the program. Every row is computed from its number, so each build gives
-- the same data.

PRAGMA foreign_keys = ON;
BEGIN;

CREATE TABLE customers (
    customer_id  INTEGER PRIMARY KEY,
    first_name   VARCHAR(40) NOT NULL,
    last_name    VARCHAR(60) NOT NULL,
    email        VARCHAR(120) UNIQUE,
    city         VARCHAR(60),
    country      CHAR(2) NOT NULL DEFAULT 'BR',
    birth_date   DATE,
    credit_limit NUMERIC(10,2),
    created_at   DATETIME NOT NULL
);

CREATE TABLE products (
    product_id   INTEGER PRIMARY KEY,
    sku          CHAR(8) NOT NULL UNIQUE,
    name         VARCHAR(80) NOT NULL,
    category     VARCHAR(30) NOT NULL,
    unit_price   NUMERIC(10,2) NOT NULL CHECK (unit_price >= 0),
    weight_kg    REAL,
    description  TEXT,
    discontinued BOOLEAN NOT NULL DEFAULT 0
);

CREATE TABLE orders (
    order_id     INTEGER PRIMARY KEY,
    customer_id  INTEGER NOT NULL REFERENCES customers (customer_id),
    order_date   DATE NOT NULL,
    shipped_date DATE,
    status       VARCHAR(12) NOT NULL,
    notes        TEXT
);

CREATE TABLE "Order Items" (
    order_id     INTEGER NOT NULL REFERENCES orders (order_id) ON DELETE CASCADE,
    line_no      INTEGER NOT NULL,
    product_id   INTEGER NOT NULL REFERENCES products (product_id),
    quantity     INTEGER NOT NULL CHECK (quantity > 0),
    unit_price   NUMERIC(10,2) NOT NULL,
    discount     NUMERIC(4,2),
    PRIMARY KEY (order_id, line_no)
);

CREATE INDEX idx_customers_name ON customers (last_name, first_name);
CREATE INDEX idx_orders_customer_date ON orders (customer_id, order_date);
CREATE INDEX idx_order_items_product ON "Order Items" (product_id);

-- 150 customers. Every 9th has no e-mail, every 7th no birth date, every 5th no credit limit.
INSERT INTO customers (customer_id, first_name, last_name, email, city, country, birth_date,
                       credit_limit, created_at)
WITH RECURSIVE
    seq(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM seq WHERE n < 150),
    first_names(i, name) AS (VALUES
        (0, 'João'), (1, 'Maria'), (2, 'José'), (3, 'Ana Luísa'), (4, 'Conceição'),
        (5, 'Antônio'), (6, 'Fábio'), (7, 'Inês'), (8, 'Sérgio'), (9, 'Márcia'),
        (10, 'Zoë'), (11, 'Björn'), (12, 'François'), (13, 'Søren'), (14, 'Łukasz'),
        (15, 'Núria'), (16, 'Ángel'), (17, 'Chloé'), (18, 'Jürgen'), (19, 'Thaís')),
    last_names(i, name) AS (VALUES
        (0, 'Silva'), (1, 'Gonçalves'), (2, 'Araújo'), (3, 'Lopes Simões'), (4, 'Magalhães'),
        (5, 'Brandão'), (6, 'D''Ávila'), (7, 'Müller'), (8, 'Dvořák'), (9, 'Østergaard'),
        (10, 'García Núñez'), (11, 'Lefèvre'), (12, 'Wójcik'), (13, 'Çelik'), (14, 'Ó Briain'),
        (15, 'Conceição')),
    cities(i, name, country) AS (VALUES
        (0, 'São Paulo', 'BR'), (1, 'Belo Horizonte', 'BR'), (2, 'Florianópolis', 'BR'),
        (3, 'Porto Alegre', 'BR'), (4, 'Goiânia', 'BR'), (5, 'Maceió', 'BR'),
        (6, 'Lisboa', 'PT'), (7, 'Coimbra', 'PT'), (8, 'Zürich', 'CH'), (9, 'Kraków', 'PL'),
        (10, 'Málaga', 'ES'), (11, 'Curitiba', 'BR'))
SELECT n,
       f.name,
       l.name,
       CASE WHEN n % 9 = 0 THEN NULL ELSE printf('cliente%03d@example.com', n) END,
       c.name,
       c.country,
       CASE WHEN n % 7 = 0 THEN NULL ELSE date('1950-01-01', printf('+%d days', n * 2371 % 18000)) END,
       CASE WHEN n % 5 = 0 THEN NULL ELSE (n * 37 % 50) * 100 + (n % 4) * 0.25 END,
       datetime('2023-01-01 08:00:00', printf('+%d days', n * 1319 % 700),
                printf('+%d minutes', n * 97 % 600))
FROM seq
JOIN first_names f ON f.i = n * 7 % 20
JOIN last_names l ON l.i = n * 11 % 16
JOIN cities c ON c.i = n * 5 % 12;

-- 40 products; each description is a few kilobytes long, and discontinued ones have none.
INSERT INTO products (product_id, sku, name, category, unit_price, weight_kg, description,
                      discontinued)
WITH
    catalogue(id, name, category, price, weight) AS (VALUES
        (1, 'Café Especial Torrado 500 g', 'Mercearia', 34.90, 0.5),
        (2, 'Açúcar Mascavo Orgânico 1 kg', 'Mercearia', 12.50, 1.0),
        (3, 'Azeite Extra Virgem Alentejano 750 ml', 'Mercearia', 59.90, 0.75),
        (4, 'Pão de Queijo Congelado 1 kg', 'Congelados', 27.80, 1.0),
        (5, 'Doce de Leite Mineiro 400 g', 'Mercearia', 18.40, 0.4),
        (6, 'Guaraná em Pó 100 g', 'Mercearia', 22.00, 0.1),
        (7, 'Castanha-do-Pará 250 g', 'Mercearia', 31.75, 0.25),
        (8, 'Queijo Canastra Meia-Cura', 'Frios', 89.00, 1.1),
        (9, 'Presunto Cru Fatiado 100 g', 'Frios', 24.90, 0.1),
        (10, 'Vinho Verde Alvarinho 2022', 'Bebidas', 79.00, 1.3),
        (11, 'Cachaça Envelhecida em Bálsamo', 'Bebidas', 119.90, 1.2),
        (12, 'Água de Coco 1 l', 'Bebidas', 9.99, 1.05),
        (13, 'Suco de Caju Integral 900 ml', 'Bebidas', 15.60, 0.95),
        (14, 'Chá-Mate Tostado 250 g', 'Bebidas', 8.45, 0.25),
        (15, 'Chocolate 70% Cacau Baiano', 'Doces', 16.90, 0.1),
        (16, 'Goiabada Cascão 600 g', 'Doces', 14.30, 0.6),
        (17, 'Paçoca de Amendoim (24 un.)', 'Doces', 19.90, 0.48),
        (18, 'Brigadeiro Gourmet (12 un.)', 'Doces', 42.00, 0.3),
        (19, 'Panela de Barro Capixaba', 'Casa', 189.00, 3.2),
        (20, 'Tábua de Corte em Ipê', 'Casa', 74.50, 1.4),
        (21, 'Jogo de Facas Inox (5 peças)', 'Casa', 249.90, 1.1),
        (22, 'Cafeteira Italiana 6 Xícaras', 'Casa', 129.00, 0.8),
        (23, 'Rede de Dormir Algodão Cru', 'Casa', 210.00, 2.5),
        (24, 'Toalha de Mesa Bordada à Mão', 'Casa', 158.00, 0.9),
        (25, 'Sabonete de Açaí 90 g', 'Higiene', 11.90, 0.09),
        (26, 'Óleo de Andiroba 60 ml', 'Higiene', 38.00, 0.07),
        (27, 'Protetor Labial de Cupuaçu', 'Higiene', 13.25, 0.01),
        (28, 'Escova de Bambu', 'Higiene', 9.90, 0.02),
        (29, 'Caderno Artesanal A5', 'Papelaria', 45.00, 0.35),
        (30, 'Lápis de Cor (36 cores)', 'Papelaria', 67.40, 0.45),
        (31, 'Caneta Tinteiro Clássica', 'Papelaria', 135.00, 0.05),
        (32, 'Agenda 2026 Capa Dura', 'Papelaria', 58.90, 0.6),
        (33, 'Camiseta Algodão Orgânico M', 'Vestuário', 79.90, 0.2),
        (34, 'Chapéu de Palha Panamá', 'Vestuário', 145.00, 0.15),
        (35, 'Chinelo de Couro Nordestino', 'Vestuário', 99.00, 0.4),
        (36, 'Meias de Lã (3 pares)', 'Vestuário', 49.90, 0.18),
        (37, 'Kit Cuia e Bomba de Chimarrão', 'Presentes', 112.00, 0.7),
        (38, 'Cesta de Natal Tradicional', 'Presentes', 389.00, 6.5),
        (39, 'Vale-Presente R$ 100', 'Presentes', 100.00, NULL),
        (40, 'Miniatura de Bonde de Santa Teresa', 'Presentes', 87.30, 0.3)),
    paragraph(text) AS (VALUES (
        'Produzido em pequena escala por fornecedores que conhecemos pelo nome, este artigo '
        || 'passa por inspeção manual antes do envio. A embalagem é reciclável e o transporte '
        || 'é feito com compensação de carbono. Guarde em local fresco e seco, longe da luz do '
        || 'sol. Made in small batches by suppliers we know by name; inspected by hand before '
        || 'shipping. Garantia de satisfação: devolução em até 30 dias, sem perguntas. '))
SELECT id,
       printf('PR-%05d', id * 37),
       name,
       category,
       price,
       weight,
       CASE WHEN id % 13 = 0 THEN NULL
            ELSE name || '. ' || replace(hex(zeroblob(6 + id % 12)), '00', paragraph.text) END,
       id % 13 = 0
FROM catalogue, paragraph;

-- 400 orders over two years. Open and cancelled orders have no shipping date.
INSERT INTO orders (order_id, customer_id, order_date, shipped_date, status, notes)
WITH RECURSIVE
    seq(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM seq WHERE n < 400),
    numbered(n, status, order_date) AS (
        SELECT n,
               CASE WHEN n % 10 = 0 THEN 'cancelled'
                    WHEN n % 10 IN (1, 2) THEN 'open'
                    ELSE 'shipped' END,
               date('2024-01-01', printf('+%d days', n * 13 % 700))
        FROM seq)
SELECT n,
       1 + n * 53 % 150,
       order_date,
       CASE WHEN status = 'shipped' THEN date(order_date, printf('+%d days', 1 + n % 6)) END,
       status,
       CASE n % 17
            WHEN 3 THEN 'Entregar após as 18h, portão azul.'
            WHEN 8 THEN 'Cliente pediu embrulho para presente — cartão: "Feliz aniversário!"'
            WHEN 12 THEN 'Ligar antes: (11) 98765-4321'
       END
FROM numbered;

-- One to four lines per order, at the product's price, some with a discount.
INSERT INTO "Order Items" (order_id, line_no, product_id, quantity, unit_price, discount)
WITH RECURSIVE
    line_numbers(l) AS (SELECT 1 UNION ALL SELECT l + 1 FROM line_numbers WHERE l < 4)
SELECT o.order_id,
       l,
       p.product_id,
       1 + (o.order_id + l) % 5,
       p.unit_price,
       CASE (o.order_id + l) % 7 WHEN 0 THEN 0.10 WHEN 3 THEN 0.05 END
FROM orders o
JOIN line_numbers ON l <= 1 + o.order_id * 7 % 4
JOIN products p ON p.product_id = 1 + (o.order_id * 17 + l * 23) % 40;

CREATE VIEW order_totals AS
SELECT o.order_id,
       c.first_name || ' ' || c.last_name AS customer,
       o.order_date,
       o.status,
       COUNT(i.line_no) AS items,
       ROUND(SUM(i.quantity * i.unit_price * (1 - COALESCE(i.discount, 0))), 2) AS total
FROM orders o
JOIN customers c ON c.customer_id = o.customer_id
LEFT JOIN "Order Items" i ON i.order_id = o.order_id
GROUP BY o.order_id, c.first_name, c.last_name, o.order_date, o.status;

COMMIT;
